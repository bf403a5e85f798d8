#include "slides/temporal_mode.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>

namespace slidetrack {

namespace {

constexpr int kPairwiseMax = 16;

// Small windows, 32 elements at a time in vector registers: for every slot count the
// other slots that agree with it, then keep the slot with the highest count, the higher
// value on a tie. Processors with AVX2 take the 32 in one register, others in two.
constexpr int kLanes = 32;
typedef uint8_t Bytes __attribute__((vector_size(kLanes)));

__attribute__((target_clones("avx2", "default"))) int modeRowPairwise(const uint8_t* const* rows,
                                                                      int n, uint8_t* out,
                                                                      int len) {
  Bytes v[kPairwiseMax] = {};  // only the first n are used
  Bytes cnt[kPairwiseMax];
  int x = 0;
  for (; x + kLanes <= len; x += kLanes) {
    for (int k = 0; k < n; ++k) {
      std::memcpy(&v[k], rows[k] + x, kLanes);
      cnt[k] = Bytes{};
    }
    for (int i = 0; i < n; ++i)
      for (int j = i + 1; j < n; ++j) {
        const Bytes eq = reinterpret_cast<Bytes>(v[i] == v[j]);  // 0xFF where equal
        cnt[i] -= eq;
        cnt[j] -= eq;
      }
    Bytes bestCnt = cnt[0], bestVal = v[0];
    for (int i = 1; i < n; ++i) {
      const Bytes better =
          reinterpret_cast<Bytes>((cnt[i] > bestCnt) | ((cnt[i] == bestCnt) & (v[i] > bestVal)));
      bestCnt = (cnt[i] & better) | (bestCnt & ~better);
      bestVal = (v[i] & better) | (bestVal & ~better);
    }
    std::memcpy(out + x, &bestVal, kLanes);
  }
  return x;  // elements done; the caller finishes the rest
}

// Large windows and row ends: a histogram per element over a block of elements, so every
// slot is read as a contiguous run; counters are cleared only where they were touched.
constexpr int kHistBlock = 32;
struct BlockCounts {
  uint16_t bins[kHistBlock][256];
};

void modeRowHistogram(const uint8_t* const* rows, int n, uint8_t* out, int from, int len,
                      BlockCounts& counts) {
  uint32_t best[kHistBlock];
  for (int x0 = from; x0 < len; x0 += kHistBlock) {
    const int m = std::min(kHistBlock, len - x0);
    std::fill(best, best + m, 0u);
    for (int j = 0; j < n; ++j) {
      const uint8_t* r = rows[j] + x0;
      // The last increment of a value carries its final count, so the maximum over
      // all increments is the maximum over final counts.
      for (int x = 0; x < m; ++x)
        best[x] = std::max(best[x], (static_cast<uint32_t>(++counts.bins[x][r[x]]) << 8) | r[x]);
    }
    for (int j = 0; j < n; ++j) {
      const uint8_t* r = rows[j] + x0;
      for (int x = 0; x < m; ++x) counts.bins[x][r[x]] = 0;
    }
    for (int x = 0; x < m; ++x) out[x0 + x] = static_cast<uint8_t>(best[x] & 0xFF);
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
  // 16-bit counters bound the window.
  const int n = std::min({count, ringLength, 65535});

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
  auto counts = std::make_unique<BlockCounts>();  // zeroed; kept zero between blocks
  for (int y = 0; y < dst.rows; ++y) {
    for (int k = 0; k < n; ++k) rows[k] = window[k]->ptr<uint8_t>(y);
    uint8_t* out = dst.ptr<uint8_t>(y);
    if (n == 2) {
      modeRowMax(rows.data(), out, len);
      continue;
    }
    const int done = n <= kPairwiseMax ? modeRowPairwise(rows.data(), n, out, len) : 0;
    modeRowHistogram(rows.data(), n, out, done, len, *counts);
  }
}

}  // namespace slidetrack
