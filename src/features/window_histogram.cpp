#include "features/window_histogram.h"

namespace slidetrack {

bool windowOrientationHistogram(const cv::Mat& magnitude, const cv::Mat& angle,
                                const cv::Rect& window, cv::Mat& row, const cv::Mat* mask,
                                cv::Mat* scratch) {
  if (magnitude.empty() || angle.empty() || row.empty()) return false;
  if (row.type() != CV_32FC1 || row.rows != 1) return false;
  if (magnitude.type() != CV_32FC1 || angle.type() != CV_32FC1) return false;
  if (mask && !scratch) return false;
  if (mask) {
    if (mask->cols != window.width || mask->rows != window.height) return false;
    if (mask->type() != CV_32FC1) return false;
    if (scratch->size() != mask->size() || scratch->type() != mask->type()) return false;
  }
  if (window.x < 0 || window.y < 0 || window.x + window.width >= magnitude.cols ||
      window.y + window.height >= magnitude.rows) {
    return true;
  }
  if (magnitude.size() != angle.size()) return false;

  const cv::Mat magWindow = magnitude(window);
  const cv::Mat angleWindow = angle(window);
  const cv::Mat* weights = &magWindow;
  if (mask) {
    cv::multiply(*mask, magWindow, *scratch);
    weights = scratch;
  }

  const int binCount = row.cols;
  const float factor = static_cast<float>(binCount) / 361.0f;
  float* bins = row.ptr<float>(0);
  for (int y = 0; y < window.height; ++y) {
    const float* w = weights->ptr<float>(y);
    const float* a = angleWindow.ptr<float>(y);
    for (int x = 0; x < window.width; ++x) {
      int bin = static_cast<int>(a[x] * factor);
      // Guards against angles outside 0..360 from rounding.
      if (bin >= binCount) bin = binCount - 1;
      if (bin < 0) bin = 0;
      bins[bin] += w[x];
    }
  }
  cv::normalize(row, row, 1.0, 0.0, cv::NORM_L2);
  return true;
}

}  // namespace slidetrack
