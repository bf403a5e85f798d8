#include "window_grid.h"

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

template <int N>
void accumulate(const cv::Mat& magnitude, const cv::Mat& bins, const cv::Mat& mask, int y,
                const int* xs, float* const* rows, int binCount) {
  float sums[N][kMaxGridBins];
  for (int j = 0; j < N; ++j) {
    for (int b = 0; b < binCount; ++b) sums[j][b] = 0.0f;
  }
  const int size = mask.cols;
  for (int r = 0; r < mask.rows; ++r) {
    const float* m = mask.ptr<float>(r);
    const float* g = magnitude.ptr<float>(y + r);
    const std::uint8_t* bin = bins.ptr<std::uint8_t>(y + r);
    int x[N];
    for (int j = 0; j < N; ++j) x[j] = xs[j];
    for (int c = 0; c < size; ++c) {
      const float w = m[c];
      for (int j = 0; j < N; ++j) {
        const int p = x[j] + c;
        // The product rounded to float first, as the element-wise multiply stores it.
        const float weight = w * g[p];
        sums[j][bin[p]] += weight;
      }
    }
  }
  for (int j = 0; j < N; ++j) {
    for (int b = 0; b < binCount; ++b) rows[j][b] = sums[j][b];
    unitLengthRow(rows[j], binCount);
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

void windowRowHistograms(const cv::Mat& magnitude, const cv::Mat& bins, const cv::Mat& mask, int y,
                         const int* xs, int count, float* const* rows, int binCount) {
  int j = 0;
  for (; j + kLanes <= count; j += kLanes) {
    accumulate<kLanes>(magnitude, bins, mask, y, xs + j, rows + j, binCount);
  }
  // The rest side by side as well: a lone window waits on its own sums.
  using Accumulate =
      void (*)(const cv::Mat&, const cv::Mat&, const cv::Mat&, int, const int*, float* const*, int);
  static const Accumulate rest[kLanes] = {nullptr,       accumulate<1>, accumulate<2>,
                                          accumulate<3>, accumulate<4>, accumulate<5>,
                                          accumulate<6>, accumulate<7>};
  if (count > j) rest[count - j](magnitude, bins, mask, y, xs + j, rows + j, binCount);
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
