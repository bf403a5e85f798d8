#include "matching/covered_cells.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include <opencv2/imgproc.hpp>

namespace slidetrack {

void coveredCellShares(const cv::Mat& mask, cv::Size grid, cv::Mat& shares) {
  const bool whole = grid.width > 0 && grid.height > 0 && mask.cols % grid.width == 0 &&
                     mask.rows % grid.height == 0;
  const int across = whole ? mask.cols / grid.width : 0, down = whole ? mask.rows / grid.height : 0;
  // A scale of 2 both ways the library rounds in integers of its own.
  if (mask.type() != CV_8UC1 || !whole || across < 1 || down < 1 || (across == 2 && down == 2) ||
      (across == 1 && down == 1)) {
    cv::resize(mask, shares, grid, 0, 0, cv::INTER_AREA);
    return;
  }
  shares.create(grid, CV_8UC1);
  // The library's factor: one float, applied to the whole-number sum.
  const float scale = 1.f / (across * down);
  thread_local std::vector<std::int32_t> counts;
  counts.resize(mask.cols);
  std::int32_t* __restrict columns = counts.data();
  const int width = mask.cols;
  for (int i = 0; i < grid.height; ++i) {
    std::fill(columns, columns + width, 0);
    for (int y = i * down; y < (i + 1) * down; ++y) {
      const std::uint8_t* __restrict m = mask.ptr<std::uint8_t>(y);
      for (int x = 0; x < width; ++x) columns[x] += m[x];
    }
    std::uint8_t* out = shares.ptr<std::uint8_t>(i);
    for (int j = 0; j < grid.width; ++j) {
      std::int32_t sum = 0;
      for (int x = j * across; x < (j + 1) * across; ++x) sum += columns[x];
      out[j] = cv::saturate_cast<std::uint8_t>(static_cast<float>(sum) * scale);
    }
  }
}

}  // namespace slidetrack
