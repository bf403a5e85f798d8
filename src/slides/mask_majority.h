#pragma once
// A 0/255 mask's majority over a square: its median, at the cost of a box sum.

#include <opencv2/core.hpp>

namespace slidetrack {

// out = 255 where most of the side x side pixels around (edges repeated) are set, else 0:
// the bytes cv::medianBlur gives on such a mask. mask: CV_8UC1 holding only 0 and 255;
// side odd, 3..15.
void maskMajority(const cv::Mat& mask, int side, cv::Mat& out);

}  // namespace slidetrack
