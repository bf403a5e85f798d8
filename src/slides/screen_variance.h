#pragma once
// How much the full-size screen image varies over a few of its pixels, brought to the work
// size: finer than the work image shows (a thin sleeve is plain across; text and
// photographs are not).

#include <opencv2/core.hpp>

namespace slidetrack {

// The grey variance over 5 x 5 screen pixels within box (in the coordinates of a work image
// of workSize), averaged down to the box's size.
cv::Mat screenVariance(const cv::Mat& screenBgr, cv::Size workSize, cv::Rect box);

}  // namespace slidetrack
