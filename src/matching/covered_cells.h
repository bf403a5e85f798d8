#pragma once
// The share of every cell of a coarse grid that a covering mask covers.

#include <opencv2/core.hpp>

namespace slidetrack {

// shares: grid-size CV_8UC1, what cv::resize(mask, shares, grid, 0, 0, cv::INTER_AREA) gives
// for an 8-bit mask, bit for bit. A mask whose sides hold the grid's a whole number of times
// (3 or more) is summed here in whole numbers, as the library does then: it resamples the
// full mask in float otherwise, and that is what every frame's picture check paid for.
void coveredCellShares(const cv::Mat& mask, cv::Size grid, cv::Mat& shares);

}  // namespace slidetrack
