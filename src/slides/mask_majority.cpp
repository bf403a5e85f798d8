#include "slides/mask_majority.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace slidetrack {

namespace {

// Adds a row's set pixels (255 counts 1) to the counts of a column of the square.
__attribute__((target_clones("avx2", "default"))) void addRow(const std::uint8_t* __restrict row,
                                                              std::uint8_t* __restrict counts,
                                                              int n) {
  for (int x = 0; x < n; ++x) counts[x] = static_cast<std::uint8_t>(counts[x] + (row[x] & 1));
}

// out = 255 where the side counts from x on sum to more than half the square, else 0.
__attribute__((target_clones("avx2", "default"))) void majorityRow(
    const std::uint8_t* __restrict counts, int side, int half, std::uint8_t* __restrict sums,
    std::uint8_t* __restrict out, int n) {
  std::copy(counts, counts + n, sums);
  for (int k = 1; k < side; ++k)
    for (int x = 0; x < n; ++x) sums[x] = static_cast<std::uint8_t>(sums[x] + counts[x + k]);
  for (int x = 0; x < n; ++x) out[x] = sums[x] > half ? 255 : 0;
}

}  // namespace

// A majority of k set pixels out of n is k > n / 2: the box filter's mean, 255 k / n rounded,
// lies above 127 exactly then. Counted in bytes (at most 15 x 15 = 225), the edges repeated
// as for BORDER_REPLICATE.
void maskMajority(const cv::Mat& mask, int side, cv::Mat& out) {
  CV_Assert(mask.type() == CV_8UC1 && side % 2 == 1 && side >= 3 && side <= 15);
  const int r = side / 2, cols = mask.cols, rows = mask.rows;
  // Written straight into out unless it is the mask itself.
  const bool apart = out.data != mask.data;
  cv::Mat result;
  if (apart) {
    out.create(mask.size(), CV_8UC1);
    result = out;
  } else {
    result.create(mask.size(), CV_8UC1);
  }
  thread_local std::vector<std::uint8_t> counts, sums;
  counts.resize(size_t(cols + 2 * r));
  sums.resize(size_t(cols));
  for (int y = 0; y < rows; ++y) {
    std::fill(counts.begin(), counts.end(), 0);
    for (int dy = -r; dy <= r; ++dy)
      addRow(mask.ptr<std::uint8_t>(std::clamp(y + dy, 0, rows - 1)), counts.data() + r, cols);
    std::fill(counts.begin(), counts.begin() + r, counts[size_t(r)]);
    std::fill(counts.end() - r, counts.end(), counts[size_t(r + cols - 1)]);
    majorityRow(counts.data(), side, side * side / 2, sums.data(), result.ptr<std::uint8_t>(y),
                cols);
  }
  if (!apart) out = result;
}

}  // namespace slidetrack
