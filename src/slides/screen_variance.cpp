#include "slides/screen_variance.h"

#include <cmath>

#include <opencv2/imgproc.hpp>

namespace slidetrack {

cv::Mat screenVariance(const cv::Mat& screenBgr, cv::Size workSize, cv::Rect box) {
  const double sx = double(screenBgr.cols) / workSize.width,
               sy = double(screenBgr.rows) / workSize.height;
  const cv::Rect screenBox(
      cv::Point(int(box.x * sx), int(box.y * sy)),
      cv::Point(int(std::ceil(box.br().x * sx)), int(std::ceil(box.br().y * sy))));
  // Measured over the box and the few pixels round it that its filter reads.
  const cv::Rect around = (screenBox + cv::Size(4, 4) - cv::Point(2, 2)) &
                          cv::Rect(0, 0, screenBgr.cols, screenBgr.rows);
  const cv::Rect inner(screenBox.tl() - around.tl(), screenBox.size());
  cv::Mat grey, f, mean, meanSq, variance;
  cv::cvtColor(screenBgr(around), grey, cv::COLOR_BGR2GRAY);
  grey.convertTo(f, CV_32F);
  cv::blur(f, mean, cv::Size(5, 5));
  cv::sqrBoxFilter(f, meanSq, CV_32F, cv::Size(5, 5));
  cv::subtract(meanSq(inner), mean(inner).mul(mean(inner)), variance);
  cv::resize(variance, variance, box.size(), 0, 0, cv::INTER_AREA);
  return variance;
}

}  // namespace slidetrack
