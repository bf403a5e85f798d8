#include "matching/covered_cells.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include <opencv2/imgproc.hpp>

namespace slidetrack {

namespace {

// Rows from to to of mask added into columns, column by column: the compiler takes many
// columns a step, twice as many where the processor has the wider vectors.
__attribute__((target_clones("avx2", "default"))) void addRows(const cv::Mat& mask, int from,
                                                               int to,
                                                               std::int32_t* __restrict columns) {
  const int width = mask.cols;
  for (int y = from; y < to; ++y) {
    const std::uint8_t* __restrict m = mask.ptr<std::uint8_t>(y);
    for (int x = 0; x < width; ++x) columns[x] += m[x];
  }
}

}  // namespace

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
    addRows(mask, i * down, (i + 1) * down, columns);
    std::uint8_t* out = shares.ptr<std::uint8_t>(i);
    for (int j = 0; j < grid.width; ++j) {
      std::int32_t sum = 0;
      for (int x = j * across; x < (j + 1) * across; ++x) sum += columns[x];
      out[j] = cv::saturate_cast<std::uint8_t>(static_cast<float>(sum) * scale);
    }
  }
}

}  // namespace slidetrack
