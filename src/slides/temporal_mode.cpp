#include "temporal_mode.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {

// Small windows: count, for every slot, how many slots agree with it, and keep the
// largest (count, value) pair. Runs over contiguous bytes so the compiler vectorises it.
constexpr int kPairwiseMax = 16;
constexpr int kBlock = 256;

void modeRowPairwise(const uint8_t* const* rows, int n, uint8_t* out, int len) {
  uint8_t cnt[kBlock];
  uint16_t best[kBlock];
  for (int x0 = 0; x0 < len; x0 += kBlock) {
    const int m = std::min(kBlock, len - x0);
    std::memset(best, 0, sizeof(best));
    for (int i = 0; i < n; ++i) {
      const uint8_t* a = rows[i] + x0;
      std::memset(cnt, 0, sizeof(cnt));
      for (int j = 0; j < n; ++j) {
        const uint8_t* b = rows[j] + x0;
        for (int x = 0; x < m; ++x) cnt[x] += static_cast<uint8_t>(a[x] == b[x]);
      }
      for (int x = 0; x < m; ++x) {
        const uint16_t key = static_cast<uint16_t>((cnt[x] << 8) | a[x]);
        best[x] = std::max(best[x], key);
      }
    }
    for (int x = 0; x < m; ++x) out[x0 + x] = static_cast<uint8_t>(best[x] & 0xFF);
  }
}

// Large windows: one histogram, cleared only where it was touched.
void modeRowHistogram(const uint8_t* const* rows, int n, uint8_t* out, int len) {
  uint32_t counts[256] = {};
  for (int x = 0; x < len; ++x) {
    uint32_t best = 0;
    for (int j = 0; j < n; ++j) {
      const uint8_t v = rows[j][x];
      // The last increment of a value carries its final count, so the maximum over
      // all increments is the maximum over final counts.
      best = std::max(best, (++counts[v] << 8) | v);
    }
    for (int j = 0; j < n; ++j) counts[rows[j][x]] = 0;
    out[x] = static_cast<uint8_t>(best & 0xFF);
  }
}

void modeRowMax(const uint8_t* const* rows, uint8_t* out, int len) {
  // Two values: both occur once unless equal, so the higher one wins.
  const uint8_t* a = rows[0];
  const uint8_t* b = rows[1];
  for (int x = 0; x < len; ++x) out[x] = std::max(a[x], b[x]);
}

}  // namespace

void temporalMode(const std::vector<cv::Mat>& ring, int ringLength, cv::Mat& dst, int first,
                  int count) {
  if (ringLength < 1 || static_cast<int>(ring.size()) < ringLength) {
    dst.release();
    return;
  }
  const int start = ((first % ringLength) + ringLength) % ringLength;
  const cv::Mat& model = ring[start];
  dst.create(model.size(), model.type());
  dst.setTo(cv::Scalar::all(0));
  if (count <= 0 || model.depth() != CV_8U) return;
  const int n = std::min(count, ringLength);

  std::vector<const cv::Mat*> window(n);
  for (int k = 0; k < n; ++k) {
    window[k] = &ring[(start + k) % ringLength];
    if (window[k]->size() != dst.size() || window[k]->type() != dst.type()) return;
  }
  if (n == 1) {
    model.copyTo(dst);
    return;
  }

  const int len = dst.cols * dst.channels();
  std::vector<const uint8_t*> rows(n);
  for (int y = 0; y < dst.rows; ++y) {
    for (int k = 0; k < n; ++k) rows[k] = window[k]->ptr<uint8_t>(y);
    uint8_t* out = dst.ptr<uint8_t>(y);
    if (n == 2)
      modeRowMax(rows.data(), out, len);
    else if (n <= kPairwiseMax)
      modeRowPairwise(rows.data(), n, out, len);
    else
      modeRowHistogram(rows.data(), n, out, len);
  }
}
