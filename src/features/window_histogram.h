#pragma once
// The orientation histogram of one window: the feature row of that window.

#include <opencv2/core.hpp>

namespace slidetrack {

// Adds every pixel's weight (magnitude, times mask when given) of the window into bin
// trunc(angle * binCount / 361) of row (1 x binCount CV_32FC1, expected zeroed), then
// scales the row to unit length. A window that does not lie strictly inside the image
// (x + width or y + height reaching the border counts as outside) leaves row untouched.
// Returns false, writing nothing, when an input is missing or shapes disagree.
bool windowOrientationHistogram(const cv::Mat& magnitude, const cv::Mat& angle,
                                const cv::Rect& window, cv::Mat& row, const cv::Mat* mask,
                                cv::Mat* scratch);

}  // namespace slidetrack
