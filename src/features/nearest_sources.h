#pragma once
// Which source pixel cv::resize's nearest-neighbour mode takes for each target pixel, so
// that own loops over those indices give the library's result pixel for pixel.

#include <vector>

namespace slidetrack {

// The source index of every target index along a row (columns) or a column (rows).
std::vector<int> nearestSources(int from, int to, bool columns);

}  // namespace slidetrack
