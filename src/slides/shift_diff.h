#pragma once
// Pixel comparisons that do not count a shift of one pixel as a change.

#include <opencv2/core.hpp>

namespace slidetrack {

// The grey work image of a rectified BGR screen: half size, area-averaged and lightly
// smoothed, so sensor noise and the nearest-neighbour warp's jumps mostly average out.
void screenWorkImage(const cv::Mat& screenBgr, cv::Mat& grey, cv::Mat& work);

// 255 where image is brighter than every pixel of ref's 3x3 neighbourhood, or darker than
// every one, by more than thresh; 0 elsewhere. A content shifted by up to one pixel gives 0.
void shiftTolerantChange(const cv::Mat& image, const cv::Mat& ref, int thresh, cv::Mat& changed);

}  // namespace slidetrack
