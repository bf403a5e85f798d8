#pragma once
// Horizontal Gaussian taps of a radius known at compile time, for the sampled smoothing:
// all taps of eight columns summed in registers, exactly as the tap-by-tap loops sum them.
// Only for processors with AVX2; the dispatchers return false for radii they do not cover.

#include <immintrin.h>

#include <cstdint>

namespace slidetrack {

inline __attribute__((target("avx2"), always_inline)) __m256i widened(const std::uint16_t* p) {
  return _mm256_cvtepu16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
}

// All taps of a radius known here at once, eight columns at a time: the taps stay in
// registers and the sums are written once, not read and written again for every tap.
template <int R>
__attribute__((target("avx2"))) void tapsOfAvx2(const std::uint16_t* p, const int* kx, int span,
                                                std::int32_t* sums) {
  __m256i k[R + 1];
  for (int i = 0; i <= R; ++i) k[i] = _mm256_set1_epi32(kx[i]);
  int x = 0;
  for (; x + 8 <= span; x += 8) {
    __m256i sum = _mm256_mullo_epi32(k[R], widened(p + x));
    for (int i = 0; i < R; ++i)
      sum = _mm256_add_epi32(
          sum, _mm256_mullo_epi32(
                   k[i], _mm256_add_epi32(widened(p + x + i - R), widened(p + x + R - i))));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(sums + x), sum);
  }
  for (; x < span; ++x) {
    std::int32_t sum = kx[R] * p[x];
    for (int i = 0; i < R; ++i) sum += kx[i] * (p[x + i - R] + p[x + R - i]);
    sums[x] = sum;
  }
}

// The same over the two phases of a row sampled every other column: tap i of sample j
// reads phase i % 2 from i / 2 + j on.
template <int R>
__attribute__((target("avx2"))) void pairTapsOfAvx2(const std::uint16_t* even,
                                                    const std::uint16_t* odd, const int* kx,
                                                    int cols, std::int32_t* sums) {
  __m256i k[R + 1];
  for (int i = 0; i <= R; ++i) k[i] = _mm256_set1_epi32(kx[i]);
  const auto tap = [even, odd](int i) { return (i % 2 ? odd : even) + i / 2; };
  int j = 0;
  for (; j + 8 <= cols; j += 8) {
    __m256i sum = _mm256_mullo_epi32(k[R], widened(tap(R) + j));
    for (int i = 0; i < R; ++i)
      sum = _mm256_add_epi32(
          sum, _mm256_mullo_epi32(
                   k[i], _mm256_add_epi32(widened(tap(i) + j), widened(tap(2 * R - i) + j))));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(sums + j), sum);
  }
  for (; j < cols; ++j) {
    std::int32_t sum = kx[R] * tap(R)[j];
    for (int i = 0; i < R; ++i) sum += kx[i] * (tap(i)[j] + tap(2 * R - i)[j]);
    sums[j] = sum;
  }
}

// The radii of the ratios met most, R down to 5 (Gaussians of 1.5 to 4 source pixels); false
// for others.
template <int R = 12>
inline __attribute__((always_inline)) bool tapsOfRadius(const std::uint16_t* p, const int* kx,
                                                        int rx, int span, std::int32_t* sums) {
  if (rx == R) {
    tapsOfAvx2<R>(p, kx, span, sums);
    return true;
  }
  if constexpr (R > 5) return tapsOfRadius<R - 1>(p, kx, rx, span, sums);
  return false;
}

template <int R = 12>
inline __attribute__((always_inline)) bool pairTapsOfRadius(const std::uint16_t* even,
                                                            const std::uint16_t* odd, const int* kx,
                                                            int rx, int cols, std::int32_t* sums) {
  if (rx == R) {
    pairTapsOfAvx2<R>(even, odd, kx, cols, sums);
    return true;
  }
  if constexpr (R > 5) return pairTapsOfRadius<R - 1>(even, odd, kx, rx, cols, sums);
  return false;
}

}  // namespace slidetrack
