#include "slides/mask_majority.h"

#include <opencv2/imgproc.hpp>

namespace slidetrack {

void maskMajority(const cv::Mat& mask, int side, cv::Mat& out) {
  CV_Assert(mask.type() == CV_8UC1 && side % 2 == 1 && side >= 3 && side <= 15);
  // The mean of k set pixels out of n is 255 k / n; a majority lies above half of 255 by at
  // least 255 / (2 n), far more than the box filter's rounding.
  cv::blur(mask, out, cv::Size(side, side), cv::Point(-1, -1), cv::BORDER_REPLICATE);
  cv::threshold(out, out, 127, 255, cv::THRESH_BINARY);
}

}  // namespace slidetrack
