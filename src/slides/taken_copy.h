#pragma once
// The screen's pixels copied into the slide's picture where the work-size map takes them.

#include <opencv2/core.hpp>

namespace slidetrack {

// screenBgr.copyTo(picture, taken brought to the screen's size by nearest neighbour); a
// screen twice the work size in both directions is copied in runs of the taken columns,
// without the screen-sized mask (seen: scratch for that mask otherwise).
void copyWhereTaken(const cv::Mat& screenBgr, const cv::Mat& taken, cv::Mat& seen,
                    cv::Mat& picture);

}  // namespace slidetrack
