#include "app/rectifier_gather.h"

#include <immintrin.h>

#include <cstring>

namespace slidetrack {

bool gatherAvailable() {
  static const bool available = __builtin_cpu_supports("avx2");
  return available;
}

__attribute__((target("avx2"))) void gatherBgrRow(const std::uint8_t* frame,
                                                  const std::int32_t* offsets, std::uint8_t* out,
                                                  int count) {
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
  }
  for (; i < count; ++i, out += 3) {
    if (offsets[i] >= 0)
      std::memcpy(out, frame + offsets[i], 3);
    else
      out[0] = out[1] = out[2] = 0;
  }
}

}  // namespace slidetrack
