#include "matching/window_evidence.h"

#include <algorithm>
#include <cmath>

#include <opencv2/imgproc.hpp>

#include "features/gradient_pyramid.h"

namespace slidetrack {

namespace {

// Calls visit(row, level, x, y) for every window the extractor computes, at level pixels.
template <typename Visit>
int forEachWindow(const GradDistExtractor& extractor, int height, int width, Visit visit) {
  int rows = 0, cols = 0;
  double step = 0;
  const int count = zorGllfGradDistGetSize(&extractor, height, width, -1, &rows, &cols, &step);
  const int size = extractor.windowSize;
  int row = 0;
  for (int level = 0; level < extractor.levelCount; ++level) {
    const int levelRows = rows >> level, levelCols = cols >> level;
    const int h = height >> level, w = width >> level;
    for (int ry = 0; ry < levelRows; ++ry) {
      for (int cx = 0; cx < levelCols; ++cx, ++row) {
        const int x = static_cast<int>(std::floor(cx * step));
        const int y = static_cast<int>(std::floor(ry * step));
        // The extractor's own rule: a window touching the far border stays zero.
        if (x + size < w && y + size < h && row < count) visit(row, level, x, y);
      }
    }
  }
  return count;
}

}  // namespace

void windowStrengths(const GradDistExtractor& extractor, int height, int width,
                     std::vector<float>& strengths) {
  strengths.assign(std::max(0, zorGllfGradDistGetSize(&extractor, height, width, -1)), 0.f);
  if (!extractor.pyramid || !extractor.weight) return;
  const std::vector<float>& profile = extractor.weight->profile;
  const int size = static_cast<int>(profile.size());
  double total = 0;
  for (float p : profile) total += p;
  if (size != extractor.windowSize || !(total > 0)) return;
  const float norm = static_cast<float>(1.0 / (total * total));
  forEachWindow(extractor, height, width, [&](int row, int level, int x, int y) {
    const cv::Mat& magnitude = extractor.pyramid->levels[level][kMagnitude];
    double sum = 0;
    for (int r = 0; r < size; ++r) {
      const float* m = magnitude.ptr<float>(y + r) + x;
      float across = 0;
      for (int c = 0; c < size; ++c) across += profile[c] * m[c];
      sum += profile[r] * across;
    }
    strengths[row] = static_cast<float>(sum) * norm;
  });
}

void windowsCovered(const GradDistExtractor& extractor, int height, int width, const cv::Mat& mask,
                    std::vector<uint8_t>& covered) {
  covered.assign(std::max(0, zorGllfGradDistGetSize(&extractor, height, width, -1)), 0);
  if (mask.empty() || mask.type() != CV_8UC1) return;
  cv::Mat binary, sums;
  cv::threshold(mask, binary, 127, 1, cv::THRESH_BINARY);
  cv::integral(binary, sums, CV_32S);
  const double sx = static_cast<double>(mask.cols) / width;
  const double sy = static_cast<double>(mask.rows) / height;
  const int size = extractor.windowSize;
  forEachWindow(extractor, height, width, [&](int row, int level, int x, int y) {
    // The middle half of the window, in feature pixels, then in mask pixels.
    const double scale = 1 << level;
    const double left = (x + size * 0.25) * scale, top = (y + size * 0.25) * scale;
    const double side = size * 0.5 * scale;
    const int x0 = std::clamp(static_cast<int>(left * sx), 0, mask.cols - 1);
    const int y0 = std::clamp(static_cast<int>(top * sy), 0, mask.rows - 1);
    const int x1 = std::clamp(static_cast<int>(std::ceil((left + side) * sx)), x0 + 1, mask.cols);
    const int y1 = std::clamp(static_cast<int>(std::ceil((top + side) * sy)), y0 + 1, mask.rows);
    const int inside =
        sums.at<int>(y1, x1) - sums.at<int>(y0, x1) - sums.at<int>(y1, x0) + sums.at<int>(y0, x0);
    covered[row] = 3 * inside >= (x1 - x0) * (y1 - y0) ? 1 : 0;
  });
}

}  // namespace slidetrack
