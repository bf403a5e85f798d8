#include "pictures/grey_from_rgb.h"

#include <immintrin.h>

namespace slidetrack {

namespace {

// The library's fixed point for 8-bit images: weights in 1/32768, rounded half up.
constexpr int kShift = 15;
constexpr int kRed = 9798, kGreen = 19235, kBlue = 3735;

// Eight pixels from p: four per 128-bit lane, twelve bytes each, read sixteen at a time.
// Red and green become a pair of 16-bit words for one multiply-add, blue and a zero another.
__attribute__((target("avx2"), always_inline)) inline __m256i eight(const std::uint8_t* p) {
  const __m256i pixels = _mm256_inserti128_si256(
      _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p))),
      _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 12)), 1);
  const __m256i redGreen =
      _mm256_setr_epi8(0, -1, 1, -1, 3, -1, 4, -1, 6, -1, 7, -1, 9, -1, 10, -1, 0, -1, 1, -1, 3, -1,
                       4, -1, 6, -1, 7, -1, 9, -1, 10, -1);
  const __m256i blue =
      _mm256_setr_epi8(2, -1, -1, -1, 5, -1, -1, -1, 8, -1, -1, -1, 11, -1, -1, -1, 2, -1, -1, -1,
                       5, -1, -1, -1, 8, -1, -1, -1, 11, -1, -1, -1);
  const __m256i sum = _mm256_add_epi32(
      _mm256_madd_epi16(_mm256_shuffle_epi8(pixels, redGreen),
                        _mm256_set1_epi32(kRed | (kGreen << 16))),
      _mm256_madd_epi16(_mm256_shuffle_epi8(pixels, blue), _mm256_set1_epi32(kBlue)));
  return _mm256_srli_epi32(_mm256_add_epi32(sum, _mm256_set1_epi32(1 << (kShift - 1))), kShift);
}

__attribute__((target("avx2"))) void greyAvx2(const std::uint8_t* rgb, std::uint8_t* grey,
                                              std::size_t n) {
  const __m256i order = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
  std::size_t i = 0;
  // The last sixteen-byte read of a step ends four bytes past its pixels.
  for (; i + 34 <= n; i += 32) {
    const std::uint8_t* p = rgb + 3 * i;
    const __m256i low = _mm256_packus_epi32(eight(p), eight(p + 24));
    const __m256i high = _mm256_packus_epi32(eight(p + 48), eight(p + 72));
    const __m256i bytes = _mm256_permutevar8x32_epi32(_mm256_packus_epi16(low, high), order);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(grey + i), bytes);
  }
  for (; i < n; ++i) {
    const std::uint8_t* p = rgb + 3 * i;
    grey[i] = static_cast<std::uint8_t>(
        (p[0] * kRed + p[1] * kGreen + p[2] * kBlue + (1 << (kShift - 1))) >> kShift);
  }
}

}  // namespace

bool greyFromRgb(const std::uint8_t* rgb, std::uint8_t* grey, std::size_t n) {
  static const bool avx2 = __builtin_cpu_supports("avx2");
  if (!avx2) return false;
  greyAvx2(rgb, grey, n);
  return true;
}

}  // namespace slidetrack
