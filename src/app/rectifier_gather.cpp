#include "app/rectifier_gather.h"

#include <immintrin.h>

#include <cstring>

namespace slidetrack {

bool gatherAvailable() {
  static const bool available = __builtin_cpu_supports("avx2");
  return available;
}

namespace {

// The library's 8-bit BGR2GRAY: weights in 1/32768 that sum to one, rounded half up; the
// same grey as its own for all 2^24 colours.
constexpr int kBlue = 3735, kGreen = 19235, kRed = 9798, kShift = 15;

std::uint8_t greyOf(const std::uint8_t* bgr) {
  return static_cast<std::uint8_t>(
      (bgr[0] * kBlue + bgr[1] * kGreen + bgr[2] * kRed + (1 << (kShift - 1))) >> kShift);
}

// The grey of eight BGRA pixels, one in each 32-bit lane, into out[0..7].
__attribute__((target("avx2"))) void storeGrey(__m256i pixels, std::uint8_t* out) {
  const __m256i byteMask = _mm256_set1_epi32(0x00ff00ff);
  const __m256i blueRed = _mm256_and_si256(pixels, byteMask);
  const __m256i greenAlpha = _mm256_and_si256(_mm256_srli_epi16(pixels, 8), byteMask);
  const __m256i sum = _mm256_add_epi32(
      _mm256_add_epi32(_mm256_madd_epi16(blueRed, _mm256_set1_epi32(kRed << 16 | kBlue)),
                       _mm256_madd_epi16(greenAlpha, _mm256_set1_epi32(kGreen))),
      _mm256_set1_epi32(1 << (kShift - 1)));
  const __m256i grey = _mm256_srli_epi32(sum, kShift);
  const __m256i lowBytes = _mm256_shuffle_epi8(
      grey, _mm256_setr_epi8(0, 4, 8, 12, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 0, 4, 8,
                             12, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1));
  const std::uint32_t low = _mm256_extract_epi32(lowBytes, 0);
  const std::uint32_t high = _mm256_extract_epi32(lowBytes, 4);
  std::memcpy(out, &low, 4);
  std::memcpy(out + 4, &high, 4);
}

}  // namespace

__attribute__((target("avx2"))) void gatherBgrRow(const std::uint8_t* frame,
                                                  const std::int32_t* offsets, std::uint8_t* out,
                                                  int count, std::uint8_t* grey) {
  // Eight pixels per step: one gather of their four bytes, the fourth dropped by a shuffle.
  const __m256i dropAlpha =
      _mm256_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1, 0, 1, 2, 4, 5, 6, 8,
                       9, 10, 12, 13, 14, -1, -1, -1, -1);
  const __m256i outside = _mm256_set1_epi32(-1);
  int i = 0;
  // Each step stores 28 bytes for its 24: the last steps leave room for the surplus.
  for (; i + 10 <= count; i += 8, out += 24) {
    const __m256i at = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(offsets + i));
    const __m256i inside = _mm256_cmpgt_epi32(at, outside);
    const __m256i pixels = _mm256_mask_i32gather_epi32(
        _mm256_setzero_si256(), reinterpret_cast<const int*>(frame), at, inside, 1);
    const __m256i packed = _mm256_shuffle_epi8(pixels, dropAlpha);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm256_castsi256_si128(packed));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 12), _mm256_extracti128_si256(packed, 1));
    if (grey) storeGrey(pixels, grey + i);
  }
  for (; i < count; ++i, out += 3) {
    if (offsets[i] >= 0)
      std::memcpy(out, frame + offsets[i], 3);
    else
      out[0] = out[1] = out[2] = 0;
    if (grey) grey[i] = greyOf(out);
  }
}

}  // namespace slidetrack
