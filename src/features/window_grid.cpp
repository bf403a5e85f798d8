#include "features/window_grid.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>

namespace slidetrack {
#endif

namespace {

// Eight bins side by side: one vector per pixel, zero but in the pixel's own bin. The
// vectors sit anywhere in float arrays.
typedef float Lanes __attribute__((vector_size(32), aligned(4), may_alias));
constexpr int kLanes = 8;

typedef std::int32_t LaneBits __attribute__((vector_size(32)));
const LaneBits kLaneMasks[kLanes] = {{-1, 0, 0, 0, 0, 0, 0, 0}, {0, -1, 0, 0, 0, 0, 0, 0},
                                     {0, 0, -1, 0, 0, 0, 0, 0}, {0, 0, 0, -1, 0, 0, 0, 0},
                                     {0, 0, 0, 0, -1, 0, 0, 0}, {0, 0, 0, 0, 0, -1, 0, 0},
                                     {0, 0, 0, 0, 0, 0, -1, 0}, {0, 0, 0, 0, 0, 0, 0, -1}};

inline const Lanes& at(const float* p) { return *reinterpret_cast<const Lanes*>(p); }
inline Lanes& at(float* p) { return *reinterpret_cast<Lanes*>(p); }

// Sums along one image row for every window column, kLanes bins each. Windows go four at
// a time so their sums run side by side instead of waiting on one another.
__attribute__((target_clones("avx2", "default"))) void rowSumsLanes(
    const float* g, const std::uint8_t* bin, int span, const float* profile, int size,
    const int* offsets, int colCount, float* oneHot, float* out) {
  // Each pixel's whole vector in one store: its magnitude's bits in every lane, masked to
  // its bin.
  std::int32_t any = 0;
#pragma GCC unroll 4  // the loop's own steps cost as much as a pixel's store
  for (int x = 0; x < span; ++x) {
    std::int32_t bits;
    std::memcpy(&bits, g + x, sizeof bits);
    any |= bits;
    const LaneBits v = (LaneBits{} + bits) & kLaneMasks[bin[x]];
    std::memcpy(oneHot + x * kLanes, &v, sizeof v);
  }
  // A row without gradients (all magnitudes +0) adds nothing to any window.
  if (!any) {
    std::fill(out, out + static_cast<size_t>(colCount) * kLanes, 0.0f);
    return;
  }
  int j = 0;
  for (; j + 4 <= colCount; j += 4) {
    const float* p0 = oneHot + offsets[j] * kLanes;
    const float* p1 = oneHot + offsets[j + 1] * kLanes;
    const float* p2 = oneHot + offsets[j + 2] * kLanes;
    const float* p3 = oneHot + offsets[j + 3] * kLanes;
    Lanes a0 = {}, a1 = {}, a2 = {}, a3 = {};
    for (int c = 0; c < size; ++c) {
      const float w = profile[c];
      a0 += w * at(p0 + c * kLanes);
      a1 += w * at(p1 + c * kLanes);
      a2 += w * at(p2 + c * kLanes);
      a3 += w * at(p3 + c * kLanes);
    }
    at(out + j * kLanes) = a0;
    at(out + (j + 1) * kLanes) = a1;
    at(out + (j + 2) * kLanes) = a2;
    at(out + (j + 3) * kLanes) = a3;
  }
  for (; j < colCount; ++j) {
    const float* p = oneHot + offsets[j] * kLanes;
    Lanes a = {};
    for (int c = 0; c < size; ++c) a += profile[c] * at(p + c * kLanes);
    at(out + j * kLanes) = a;
  }
}

// Window sums down the row sums of a window's rows, for one row of windows.
__attribute__((target_clones("avx2", "default"))) void columnSumsLanes(const float* const* rowSums,
                                                                       const float* profile,
                                                                       int size, int colCount,
                                                                       float* sums) {
  std::fill(sums, sums + static_cast<size_t>(colCount) * kLanes, 0.0f);
  for (int r = 0; r < size; ++r) {
    const float w = profile[r];
    const float* h = rowSums[r];
    for (int j = 0; j < colCount; ++j) {
      at(sums + j * kLanes) += w * at(h + j * kLanes);
    }
  }
}

// The same for more bins than lanes: each pixel's weight added into its own bin.
void rowSumsScattered(const float* g, const std::uint8_t* bin, const float* profile, int size,
                      const int* offsets, int colCount, int binCount, float* out) {
  for (int j = 0; j < colCount; ++j) {
    float* sums = out + static_cast<size_t>(j) * binCount;
    std::fill(sums, sums + binCount, 0.0f);
    const int x = offsets[j];
    for (int c = 0; c < size; ++c) sums[bin[x + c]] += profile[c] * g[x + c];
  }
}

void columnSumsScattered(const float* const* rowSums, const float* profile, int size, int colCount,
                         int binCount, float* const* rows) {
  for (int j = 0; j < colCount; ++j) {
    float* row = rows[j];
    std::fill(row, row + binCount, 0.0f);
    for (int r = 0; r < size; ++r) {
      const float w = profile[r];
      const float* h = rowSums[r] + static_cast<size_t>(j) * binCount;
      for (int b = 0; b < binCount; ++b) row[b] += w * h[b];
    }
  }
}

}  // namespace

void orientationBinImage(const cv::Mat& angle, int binCount, cv::Mat& bins) {
  bins.create(angle.size(), CV_8UC1);
  const float factor = static_cast<float>(binCount) / 361.0f;
  const int last = binCount - 1;
  for (int y = 0; y < angle.rows; ++y) {
    const float* a = angle.ptr<float>(y);
    std::uint8_t* b = bins.ptr<std::uint8_t>(y);
    int x = 0;
#if defined(__SSE2__)
    // Truncating conversion and saturating packs clamp exactly as the scalar code does.
    const __m128 f = _mm_set1_ps(factor);
    const __m128i low = _mm_setzero_si128();
    const __m128i high = _mm_set1_epi16(static_cast<short>(last));
    for (; x + 16 <= angle.cols; x += 16) {
      const __m128i i0 = _mm_cvttps_epi32(_mm_mul_ps(_mm_loadu_ps(a + x), f));
      const __m128i i1 = _mm_cvttps_epi32(_mm_mul_ps(_mm_loadu_ps(a + x + 4), f));
      const __m128i i2 = _mm_cvttps_epi32(_mm_mul_ps(_mm_loadu_ps(a + x + 8), f));
      const __m128i i3 = _mm_cvttps_epi32(_mm_mul_ps(_mm_loadu_ps(a + x + 12), f));
      const __m128i s0 = _mm_min_epi16(_mm_max_epi16(_mm_packs_epi32(i0, i1), low), high);
      const __m128i s1 = _mm_min_epi16(_mm_max_epi16(_mm_packs_epi32(i2, i3), low), high);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(b + x), _mm_packus_epi16(s0, s1));
    }
#endif
    for (; x < angle.cols; ++x) {
      int bin = static_cast<int>(a[x] * factor);
      if (bin > last) bin = last;
      if (bin < 0) bin = 0;
      b[x] = static_cast<std::uint8_t>(bin);
    }
  }
}

void levelWindowHistograms(const cv::Mat& magnitude, const cv::Mat& bins,
                           const std::vector<float>& profile, const int* ys, int rowCount,
                           const int* xs, int colCount, float* const* rows, int binCount,
                           std::vector<float>& scratch) {
  const int size = static_cast<int>(profile.size());
  if (rowCount < 1 || colCount < 1 || size < 1) return;
  const bool lanes = binCount <= kLanes;
  const size_t stride = static_cast<size_t>(colCount) * (lanes ? kLanes : binCount);
  const int x0 = xs[0];
  const int span = xs[colCount - 1] + size - x0;
  thread_local std::vector<int> offsets;
  offsets.resize(colCount);
  for (int j = 0; j < colCount; ++j) offsets[j] = xs[j] - x0;
  // The row sums of the last `size` image rows, slot y % size, then room for one row of
  // one-hot pixels or of window sums.
  scratch.resize(size * stride + std::max(static_cast<size_t>(span) * kLanes, stride));
  float* ring = scratch.data();
  float* work = ring + size * stride;
  thread_local std::vector<const float*> window;
  window.resize(size);
  int next = ys[0];  // first image row without row sums yet
  for (int i = 0; i < rowCount; ++i) {
    const int top = ys[i];
    next = std::max(next, top);
    for (; next < top + size; ++next) {
      const float* g = magnitude.ptr<float>(next) + x0;
      const std::uint8_t* bin = bins.ptr<std::uint8_t>(next) + x0;
      float* out = ring + (next % size) * stride;
      if (lanes) {
        rowSumsLanes(g, bin, span, profile.data(), size, offsets.data(), colCount, work, out);
      } else {
        rowSumsScattered(g, bin, profile.data(), size, offsets.data(), colCount, binCount, out);
      }
    }
    for (int r = 0; r < size; ++r) window[r] = ring + ((top + r) % size) * stride;
    float* const* out = rows + static_cast<size_t>(i) * colCount;
    if (lanes) {
      columnSumsLanes(window.data(), profile.data(), size, colCount, work);
      for (int j = 0; j < colCount; ++j) std::copy_n(work + j * kLanes, binCount, out[j]);
    } else {
      columnSumsScattered(window.data(), profile.data(), size, colCount, binCount, out);
    }
    for (int j = 0; j < colCount; ++j) unitLengthRow(out[j], binCount);
  }
}

void unitLengthRow(float* row, int n) {
  double s = 0.0;
  int i = 0;
  for (; i + 4 <= n; i += 4) {
    const double v0 = row[i], v1 = row[i + 1], v2 = row[i + 2], v3 = row[i + 3];
    s += v0 * v0 + v1 * v1 + v2 * v2 + v3 * v3;
  }
  for (; i < n; ++i) {
    const double v = row[i];
    s += v * v;
  }
  const double norm = std::sqrt(s);
  const float scale = static_cast<float>(norm > DBL_EPSILON ? 1.0 / norm : 0.0);
  for (i = 0; i < n; ++i) row[i] *= scale;
}

}  // namespace slidetrack
