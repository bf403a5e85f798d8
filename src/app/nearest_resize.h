#pragma once
// cv::resize's nearest neighbour for 8-bit single-channel maps resized to one size over and
// over: the same pixels, at a fraction of the cost when it enlarges.

#include <vector>

#include <opencv2/core.hpp>

namespace slidetrack {

struct NearestResize {
  std::vector<int> rows, columns;  // the source row and column of every target pixel
  cv::Size from, to;               // the sizes they were made for
  bool doubles = false;            // every column twice: the screen's map from the detector's
};

// to = cv::resize(from, size, INTER_NEAREST), for any type; the tables are kept in plan.
void nearestResize(NearestResize& plan, const cv::Mat& from, cv::Mat& to, cv::Size size);

}  // namespace slidetrack
