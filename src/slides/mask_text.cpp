#include "slides/mask_text.h"

#include <algorithm>
#include <vector>

#include <opencv2/imgproc.hpp>

namespace slidetrack {

namespace {

// Gradient (|dx| + |dy| of a 3x3 Sobel) of a character's stroke at work size; a blurred
// clothing fold stays below it.
constexpr int kSharp = 160;
// Characters of a line: this many separate pieces at least, a line's height at most this
// share of the screen's, and at least this many heights wide.
constexpr int kMinPieces = 5;
constexpr int kLineShare = 12;
constexpr int kMinAspect = 3;
// Grey levels off the background the reference may lie under a new line: vignetting.
constexpr int kPlainSpread = 20;

void sharpEdges(const cv::Mat& grey, cv::Mat& sharp) {
  cv::Mat dx, dy;
  cv::Sobel(grey, dx, CV_16S, 1, 0);
  cv::Sobel(grey, dy, CV_16S, 0, 1);
  cv::Mat sum = cv::abs(dx) + cv::abs(dy);
  cv::compare(sum, kSharp, sharp, cv::CMP_GT);
}

}  // namespace

void newTextLines(const cv::Mat& work, const cv::Mat& ref, const cv::Mat& changed,
                  const cv::Mat& moving, const cv::Mat& unknown, int background, cv::Mat& text) {
  cv::Mat sharp, had, still;
  sharpEdges(work, sharp);
  sharpEdges(ref, had);
  // A shaking camera moves the reference's edges by a pixel or two.
  cv::dilate(had, had, cv::getStructuringElement(cv::MORPH_RECT, cv::Size(5, 5)));
  cv::dilate(moving, still, cv::getStructuringElement(cv::MORPH_RECT, cv::Size(5, 5)));
  cv::Mat pieces = sharp & ~had & changed & ~still;
  // Where the reference never saw the slide, or held him, text uncovered as he steps away is
  // the old slide's.
  cv::Mat plain;
  cv::absdiff(ref, cv::Scalar(background), plain);
  cv::compare(plain, kPlainSpread, plain, cv::CMP_LE);
  pieces &= plain;
  if (!unknown.empty()) {
    cv::Mat near;
    cv::dilate(unknown, near, cv::getStructuringElement(cv::MORPH_RECT, cv::Size(5, 5)));
    pieces.setTo(0, near);
  }
  cv::Mat lines, lineLabels, stats, centroids, pieceLabels;
  // Characters of a line join across the gaps between them, not to the line above.
  cv::dilate(pieces, lines, cv::getStructuringElement(cv::MORPH_RECT, cv::Size(9, 3)));
  const int n = cv::connectedComponentsWithStats(lines, lineLabels, stats, centroids, 8, CV_32S);
  const int m = cv::connectedComponents(pieces, pieceLabels, 8, CV_32S);
  std::vector<int> lineOf(m, 0), count(n, 0);
  for (int y = 0; y < pieces.rows; ++y) {
    const int* p = pieceLabels.ptr<int>(y);
    const int* l = lineLabels.ptr<int>(y);
    for (int x = 0; x < pieces.cols; ++x)
      if (p[x] && !lineOf[p[x]]) lineOf[p[x]] = l[x];
  }
  for (int k = 1; k < m; ++k) ++count[lineOf[k]];
  const int maxHeight = std::max(4, work.rows / kLineShare);
  std::vector<unsigned char> keep(n, 0);
  for (int k = 1; k < n; ++k) {
    const int w = stats.at<int>(k, cv::CC_STAT_WIDTH), h = stats.at<int>(k, cv::CC_STAT_HEIGHT);
    keep[k] = count[k] >= kMinPieces && h <= maxHeight && w >= kMinAspect * h;
  }
  text = cv::Mat::zeros(work.size(), CV_8UC1);
  for (int y = 0; y < text.rows; ++y) {
    const int* l = lineLabels.ptr<int>(y);
    unsigned char* t = text.ptr<unsigned char>(y);
    for (int x = 0; x < text.cols; ++x) t[x] = keep[l[x]] ? 255 : 0;
  }
}

}  // namespace slidetrack
