#pragma once
// The share of every cell of a coarse grid that a covering mask covers.

#include <opencv2/core.hpp>

namespace slidetrack {

// shares: grid-size CV_8UC1, what cv::resize(mask, shares, grid, 0, 0, cv::INTER_AREA) gives
// for an 8-bit mask, bit for bit. A mask whose sides hold the grid's a whole number of times
// (not twice both ways, which the library rounds its own way) is summed as the library sums
// it, a whole number scaled by one float, but down columns first: the library's offsets
// pixel by pixel cost every frame's picture check about three times as much. Other masks go
// to the library.
void coveredCellShares(const cv::Mat& mask, cv::Size grid, cv::Mat& shares);

}  // namespace slidetrack
