#include "slides/shift_diff.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include <opencv2/imgproc.hpp>

namespace slidetrack {

void screenWorkImage(const cv::Mat& screenBgr, cv::Mat& grey, cv::Mat& work) {
  cv::cvtColor(screenBgr, grey, cv::COLOR_BGR2GRAY);
  cv::resize(grey, work, cv::Size((grey.cols + 1) / 2, (grey.rows + 1) / 2), 0, 0, cv::INTER_AREA);
  cv::GaussianBlur(work, work, cv::Size(3, 3), 0);
}

namespace {

// The library's way: erode and dilate (3x3, the border left out), differences, threshold.
void changedByLibrary(const cv::Mat& image, const cv::Mat& ref, int thresh, cv::Mat& changed) {
  cv::Mat low, high, darker, brighter;
  cv::erode(ref, low, cv::Mat());
  cv::dilate(ref, high, cv::Mat());
  cv::subtract(image, high, brighter);  // saturates at 0
  cv::subtract(low, image, darker);
  cv::max(brighter, darker, changed);
  cv::threshold(changed, changed, thresh, 255, cv::THRESH_BINARY);
}

}  // namespace

// The same in one pass over the rows, without a temporary image: every step is exact on
// bytes, so the result is the library's pixel for pixel, in either vector width.
__attribute__((target_clones("avx2", "default"))) void shiftTolerantChange(const cv::Mat& image,
                                                                           const cv::Mat& ref,
                                                                           int thresh,
                                                                           cv::Mat& changed) {
  if (image.type() != CV_8UC1 || ref.type() != CV_8UC1 || image.size() != ref.size() ||
      image.empty() || changed.data == image.data || changed.data == ref.data) {
    changedByLibrary(image, ref, thresh, changed);
    return;
  }
  const int rows = ref.rows, cols = ref.cols;
  changed.create(ref.size(), CV_8UC1);
  // Per column, the least and the most of ref's three rows around; padded by one column
  // that repeats the edge, which changes no minimum or maximum of the clipped window.
  thread_local std::vector<std::uint8_t> least, most;
  least.resize(cols + 2);
  most.resize(cols + 2);
  std::uint8_t* lo = least.data() + 1;
  std::uint8_t* hi = most.data() + 1;
  for (int y = 0; y < rows; ++y) {
    const std::uint8_t* above = ref.ptr(std::max(y - 1, 0));
    const std::uint8_t* row = ref.ptr(y);
    const std::uint8_t* below = ref.ptr(std::min(y + 1, rows - 1));
    for (int x = 0; x < cols; ++x) {
      lo[x] = std::min(std::min(above[x], row[x]), below[x]);
      hi[x] = std::max(std::max(above[x], row[x]), below[x]);
    }
    lo[-1] = lo[0];
    lo[cols] = lo[cols - 1];
    hi[-1] = hi[0];
    hi[cols] = hi[cols - 1];
    const std::uint8_t* in = image.ptr(y);
    std::uint8_t* out = changed.ptr(y);
    for (int x = 0; x < cols; ++x) {
      const int low = std::min(std::min(lo[x - 1], lo[x]), lo[x + 1]);
      const int high = std::max(std::max(hi[x - 1], hi[x]), hi[x + 1]);
      const int by = std::max(std::max(in[x] - high, low - in[x]), 0);
      out[x] = by > thresh ? 255 : 0;
    }
  }
}

}  // namespace slidetrack
