#include "window_grid.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// Windows handled side by side: their sums are independent, so interleaving them hides
// the latency of adding into the same bin again and again.
constexpr int kLanes = 8;

// One row of K windows: pixel weight mask times magnitude, rounded to float first as
// the element-wise multiply stores it, added into the window's bin in pixel order.
template <int K>
void accumulateRow(const float* m, const float* g, const std::uint8_t* bin, const int* x,
                   float* const* sums, int size) {
  int at[K];
  float* sum[K];
  for (int j = 0; j < K; ++j) {
    at[j] = x[j];
    sum[j] = sums[j];
  }
  for (int c = 0; c < size; ++c) {
    const float w = m[c];
    for (int j = 0; j < K; ++j) {
      const int p = at[j] + c;
      const float weight = w * g[p];
      sum[j][bin[p]] += weight;
    }
  }
}

using RowKernel = void (*)(const float*, const float*, const std::uint8_t*, const int*,
                           float* const*, int);
const RowKernel kRowKernels[kLanes + 1] = {nullptr,          accumulateRow<1>, accumulateRow<2>,
                                           accumulateRow<3>, accumulateRow<4>, accumulateRow<5>,
                                           accumulateRow<6>, accumulateRow<7>, accumulateRow<8>};

// Up to kLanes windows of one grid row. A window row whose magnitudes are all zero adds
// only zero weights, and adding +0 to a sum of non-negative weights changes no bit, so
// such rows are left out.
void accumulateGroup(const cv::Mat& magnitude, const cv::Mat& bins, const cv::Mat& nonZero,
                     const cv::Mat& mask, int y, const int* xs, float* const* rows, int count,
                     int binCount) {
  float sums[kLanes][kMaxGridBins];
  for (int j = 0; j < count; ++j) {
    for (int b = 0; b < binCount; ++b) sums[j][b] = 0.0f;
  }
  const int size = mask.cols;
  int x[kLanes];
  float* active[kLanes];
  for (int r = 0; r < mask.rows; ++r) {
    const int* before = nonZero.ptr<int>(y + r);
    int k = 0;
    for (int j = 0; j < count; ++j) {
      if (before[xs[j] + size] == before[xs[j]]) continue;
      x[k] = xs[j];
      active[k] = sums[j];
      ++k;
    }
    if (k > 0) {
      kRowKernels[k](mask.ptr<float>(r), magnitude.ptr<float>(y + r), bins.ptr<std::uint8_t>(y + r),
                     x, active, size);
    }
  }
  for (int j = 0; j < count; ++j) {
    for (int b = 0; b < binCount; ++b) rows[j][b] = sums[j][b];
    unitLengthRow(rows[j], binCount);
  }
}

}  // namespace

void nonZeroBefore(const cv::Mat& magnitude, cv::Mat& counts) {
  counts.create(magnitude.rows, magnitude.cols + 1, CV_32SC1);
  for (int y = 0; y < magnitude.rows; ++y) {
    const float* g = magnitude.ptr<float>(y);
    int* n = counts.ptr<int>(y);
    n[0] = 0;
    for (int x = 0; x < magnitude.cols; ++x) n[x + 1] = n[x] + (g[x] != 0.0f);
  }
}

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

void windowRowHistograms(const cv::Mat& magnitude, const cv::Mat& bins, const cv::Mat& nonZero,
                         const cv::Mat& mask, int y, const int* xs, int count, float* const* rows,
                         int binCount) {
  for (int j = 0; j < count; j += kLanes) {
    accumulateGroup(magnitude, bins, nonZero, mask, y, xs + j, rows + j,
                    std::min(kLanes, count - j), binCount);
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
