#include "features/grad_dist.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>

#include "features/gaussian_window.h"
#include "features/gradient_pyramid.h"
#include "features/window_grid.h"
#include "features/window_histogram.h"

namespace slidetrack {

std::unique_ptr<GradDistExtractor> zorGllfGradDistCreate() {
  return std::make_unique<GradDistExtractor>();
}

int zorGllfGradDistInit(GradDistExtractor* extractor, int levelCount, int binCount, float stepRatio,
                        int windowSize) {
  if (!extractor) return -1;
  extractor->windowSize = windowSize < 2 ? 1 : windowSize;
  extractor->stepRatio = stepRatio;
  extractor->levelCount = levelCount;
  extractor->binCount = binCount;
  if (extractor->weight && extractor->weight->size != extractor->windowSize) {
    extractor->weight.reset();
  }
  if (!extractor->weight) extractor->weight = gaussianWindowWeightCreate(extractor->windowSize);
  return 1;
}

namespace {

// Windows along a side of the given length, at least 0; 0 also for a count beyond an int.
int windowsAlong(int length, int window, double step) {
  const double count = std::floor((length - window) / step) + 1;
  return count >= 1 && count <= INT_MAX ? static_cast<int>(count) : 0;
}

// Grid indices i < count whose window start floor(i * step) lies at 0 or beyond and
// ends strictly before limit, with those starts.
void fittingWindows(int count, double step, int size, int limit, std::vector<int>& indices,
                    std::vector<int>& starts) {
  indices.clear();
  starts.clear();
  for (int i = 0; i < count; ++i) {
    const int start = static_cast<int>(std::floor(i * step));
    if (start < 0 || start + size >= limit) continue;
    indices.push_back(i);
    starts.push_back(start);
  }
}

}  // namespace

int zorGllfGradDistGetSize(const GradDistExtractor* extractor, int height, int width, int level,
                           int* rowsOfWindows, int* windowsPerRow, double* step) {
  if (!extractor) return 0;
  double pixels = extractor->windowSize * static_cast<double>(extractor->stepRatio);
  if (pixels == 0.0) pixels = 1.0;
  // An image smaller than a window has no windows; two negative counts must not
  // multiply into a positive one.
  int rows = windowsAlong(height, extractor->windowSize, pixels);
  int cols = windowsAlong(width, extractor->windowSize, pixels);
  const int64_t total = static_cast<int64_t>(rows) * cols;
  int64_t result = 0;
  if (level >= 0) {
    result = level < 32 ? total >> (2 * level) : 0;
  } else {
    for (int i = 0; i < extractor->levelCount && i < 32; ++i) result += total >> (2 * i);
  }
  // A grid no int can count (a step that is not a number or far below a pixel) has no
  // feature matrix either.
  if (result > INT_MAX || total > INT_MAX) {
    rows = cols = 0;
    result = 0;
  }
  if (rowsOfWindows) *rowsOfWindows = rows;
  if (windowsPerRow) *windowsPerRow = cols;
  if (step) *step = pixels;
  return static_cast<int>(result);
}

int zorGllfGradDistGetLength(const GradDistExtractor* extractor) {
  return extractor ? extractor->binCount : 0;
}

cv::Mat* zorGllfGradDistExtract(GradDistExtractor* extractor, const cv::Mat& image,
                                cv::Mat* output) {
  // Extraction needs an initialised extractor and one grey 8-bit image.
  if (!extractor || !extractor->weight || image.empty() || image.type() != CV_8UC1) {
    return nullptr;
  }
  if (extractor->binCount < 1 || extractor->levelCount < 1) return nullptr;
  int rows = 0;
  int cols = 0;
  double step = 0.0;
  const int featureCount =
      zorGllfGradDistGetSize(extractor, image.rows, image.cols, -1, &rows, &cols, &step);
  // An image smaller than one window has no feature matrix.
  if (featureCount <= 0) return nullptr;
  const int binCount = extractor->binCount;
  if (output &&
      (output->rows != featureCount || output->cols != binCount || output->type() != CV_32FC1)) {
    return nullptr;
  }
  cv::Mat& own = extractor->features;
  if (!own.empty() && (own.rows != featureCount || own.cols != binCount)) own.release();
  cv::Mat* result = output;
  if (!result) {
    if (own.empty()) own.create(featureCount, binCount, CV_32FC1);
    result = &own;
  }
  result->setTo(0.0);

  GradientPyramid* pyramid =
      gradientPyramidCompute(extractor->pyramid, image, extractor->levelCount, 3);
  if (!pyramid) return nullptr;

  GaussianWindowWeight& weight = *extractor->weight;
  const int size = extractor->windowSize;
  const bool binImages = binCount <= kMaxGridBins;
  extractor->bins.resize(extractor->levelCount);
  // Kept between calls so a steady run of extractions allocates nothing.
  thread_local std::vector<int> xs, ys, fittingCols, fittingRows;
  thread_local std::vector<float*> rowPointers;
  int k = 0;
  for (int level = 0; level < extractor->levelCount; ++level) {
    const int rowsL = rows >> level;
    const int colsL = cols >> level;
    if (rowsL <= 0 || colsL <= 0) continue;
    const cv::Mat& magnitude = pyramid->levels[level][kMagnitude];
    const cv::Mat& angle = pyramid->levels[level][kAngle];
    if (!binImages) {
      for (int ry = 0; ry < rowsL; ++ry) {
        const int y = static_cast<int>(std::floor(ry * step));
        for (int cx = 0; cx < colsL; ++cx, ++k) {
          const int x = static_cast<int>(std::floor(cx * step));
          cv::Mat row = result->row(k);
          windowOrientationHistogram(magnitude, angle, cv::Rect(x, y, size, size), row,
                                     &weight.mask, &weight.scratch);
        }
      }
      continue;
    }
    // Windows reaching the border (strictly) keep their zero rows.
    fittingWindows(colsL, step, size, magnitude.cols, fittingCols, xs);
    fittingWindows(rowsL, step, size, magnitude.rows, fittingRows, ys);
    rowPointers.clear();
    for (int ry : fittingRows) {
      for (int cx : fittingCols) rowPointers.push_back(result->ptr<float>(k + ry * colsL + cx));
    }
    k += rowsL * colsL;
    if (xs.empty() || ys.empty()) continue;
    orientationBinImage(angle, binCount, extractor->bins[level]);
    levelWindowHistograms(magnitude, extractor->bins[level], weight.profile, ys.data(),
                          static_cast<int>(ys.size()), xs.data(), static_cast<int>(xs.size()),
                          rowPointers.data(), binCount, extractor->sums);
  }
  return result;
}

void zorGllfGradDistRelease(std::unique_ptr<GradDistExtractor>& extractor) { extractor.reset(); }

}  // namespace slidetrack
