#include "slides/shift_diff.h"

#include <opencv2/imgproc.hpp>

namespace slidetrack {

void screenWorkImage(const cv::Mat& screenBgr, cv::Mat& grey, cv::Mat& work) {
  cv::cvtColor(screenBgr, grey, cv::COLOR_BGR2GRAY);
  cv::resize(grey, work, cv::Size((grey.cols + 1) / 2, (grey.rows + 1) / 2), 0, 0, cv::INTER_AREA);
  cv::GaussianBlur(work, work, cv::Size(3, 3), 0);
}

void shiftTolerantChange(const cv::Mat& image, const cv::Mat& ref, int thresh, cv::Mat& changed) {
  cv::Mat low, high, darker, brighter;
  cv::erode(ref, low, cv::Mat());
  cv::dilate(ref, high, cv::Mat());
  cv::subtract(image, high, brighter);  // saturates at 0
  cv::subtract(low, image, darker);
  cv::max(brighter, darker, changed);
  cv::threshold(changed, changed, thresh, 255, cv::THRESH_BINARY);
}

}  // namespace slidetrack
