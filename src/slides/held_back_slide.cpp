#include "slides/held_back_slide.h"

#include <cstdlib>
#include <vector>

#include <opencv2/imgproc.hpp>

namespace slidetrack {

namespace {

// Levels in every channel within which a pixel shows what the fill would give there.
constexpr int kExpected = 20;
// Share of a region that must show the slide for any of it to be taken: a still speaker
// holds a body's worth of plain colour the slide around him has not.
constexpr double kShownShare = 0.7;
// Work pixels a region needs: noise along text is no region.
constexpr int kMinPixels = 12;

bool near(const cv::Vec3b& a, const cv::Vec3b& b) {
  return std::abs(a[0] - b[0]) <= kExpected && std::abs(a[1] - b[1]) <= kExpected &&
         std::abs(a[2] - b[2]) <= kExpected;
}

}  // namespace

void heldBackSlide(const cv::Mat& colour, const cv::Mat& expected, const cv::Mat& candidates,
                   const cv::Mat& fine, cv::Mat& shown) {
  shown = cv::Mat::zeros(candidates.size(), CV_8UC1);
  if (cv::countNonZero(candidates) < kMinPixels) return;
  cv::Mat labels;
  const int n = cv::connectedComponents(candidates, labels, 8, CV_32S);
  std::vector<int> size(size_t(n), 0), slide(size_t(n), 0);
  for (int y = 0; y < colour.rows; ++y) {
    const int* l = labels.ptr<int>(y);
    const cv::Vec3b* c = colour.ptr<cv::Vec3b>(y);
    const cv::Vec3b* e = expected.ptr<cv::Vec3b>(y);
    const unsigned char* f = fine.ptr<unsigned char>(y);
    unsigned char* s = shown.ptr<unsigned char>(y);
    for (int x = 0; x < colour.cols; ++x) {
      if (!l[x]) continue;
      s[x] = (f[x] || near(c[x], e[x])) ? 255 : 0;
      ++size[size_t(l[x])];
      slide[size_t(l[x])] += s[x] != 0;
    }
  }
  std::vector<unsigned char> keep(size_t(n), 0);
  for (size_t i = 1; i < size_t(n); ++i)
    keep[i] = size[i] >= kMinPixels && slide[i] >= kShownShare * size[i];
  for (int y = 0; y < colour.rows; ++y) {
    const int* l = labels.ptr<int>(y);
    unsigned char* s = shown.ptr<unsigned char>(y);
    for (int x = 0; x < colour.cols; ++x)
      if (!keep[size_t(l[x])]) s[x] = 0;
  }
}

}  // namespace slidetrack
