#include "slides/speaker_rows.h"

#include <immintrin.h>

#include <algorithm>

#include <opencv2/core/hal/intrin.hpp>

namespace slidetrack {

void colourOffRowPlain(const std::uint8_t* work, const std::uint8_t* screenRow, const int low[3],
                       int spread, int tint, int cols, std::uint8_t* off) {
  // |excess - mean| > spread as one unsigned comparison per channel, without branches.
  const unsigned width = 2u * unsigned(spread);
  for (int x = 0; x < cols; ++x) {
    const int base = work[x];
    const std::uint8_t* v = screenRow + 6 * x;
    const bool away = (unsigned(v[0] - base - low[0]) > width) |
                      (unsigned(v[1] - base - low[1]) > width) |
                      (unsigned(v[2] - base - low[2]) > width);
    off[x] = away ? 255 : 0;
    if (tint < 0) continue;
    const int d0 = v[0] - base - low[0] - spread, d1 = v[1] - base - low[1] - spread,
              d2 = v[2] - base - low[2] - spread;
    if (d0 * d0 + d1 * d1 + d2 * d2 > tint * tint) off[x] = 255;
  }
}

namespace {

// Byte k of each half takes pixel k / 2's channel, from one 16-byte third of the 48 bytes
// of its eight screen pixels, into the low byte of a 16-bit lane.
struct Picks {
  alignas(32) std::int8_t at[3][3][32];  // [third][channel][lane byte]
  Picks() {
    for (int t = 0; t < 3; ++t)
      for (int c = 0; c < 3; ++c)
        for (int k = 0; k < 32; ++k) {
          const int from = 6 * (k % 16 / 2) + c - 16 * t;
          at[t][c][k] = std::int8_t(k % 2 == 0 && from >= 0 && from < 16 ? from : -128);
        }
  }
};

__attribute__((target("avx2"))) inline __m256i channelLanes(__m256i t0, __m256i t1, __m256i t2,
                                                            const std::int8_t (*at)[3][32], int c) {
  return _mm256_or_si256(
      _mm256_or_si256(
          _mm256_shuffle_epi8(t0, _mm256_load_si256(reinterpret_cast<const __m256i*>(at[0][c]))),
          _mm256_shuffle_epi8(t1, _mm256_load_si256(reinterpret_cast<const __m256i*>(at[1][c])))),
      _mm256_shuffle_epi8(t2, _mm256_load_si256(reinterpret_cast<const __m256i*>(at[2][c]))));
}

// 0xffff where d < 0 or d > width.
__attribute__((target("avx2"))) inline __m256i outside(__m256i d, __m256i width) {
  return _mm256_or_si256(_mm256_cmpgt_epi16(_mm256_setzero_si256(), d),
                         _mm256_cmpgt_epi16(d, width));
}

// (d - half) squared, clamped to reach in size first.
__attribute__((target("avx2"))) inline __m256i squaredNear(__m256i d, __m256i half, __m256i reach) {
  const __m256i t = _mm256_min_epi16(
      _mm256_max_epi16(_mm256_sub_epi16(d, half), _mm256_sub_epi16(_mm256_setzero_si256(), reach)),
      reach);
  return _mm256_mullo_epi16(t, t);
}

// Sixteen work pixels a step, eight in each half of the vector. Returns the work pixels
// done.
__attribute__((target("avx2"))) int colourOffAvx2(const std::uint8_t* work,
                                                  const std::uint8_t* screenRow, int screenCols,
                                                  const int low[3], int spread, int tint, int cols,
                                                  std::uint8_t* off) {
  static const Picks picks;
  const __m256i width = _mm256_set1_epi16(short(2 * spread));
  const __m256i l0 = _mm256_set1_epi16(short(low[0])), l1 = _mm256_set1_epi16(short(low[1])),
                l2 = _mm256_set1_epi16(short(low[2]));
  const __m256i half = _mm256_set1_epi16(short(spread)), reach = _mm256_set1_epi16(short(tint + 1)),
                tintSquare = _mm256_set1_epi16(short(tint * tint));
  int x = 0;
  for (; x + 16 <= cols && 2 * (x + 16) <= screenCols; x += 16) {
    const std::uint8_t* s = screenRow + 6 * x;
    const __m256i t0 = _mm256_loadu2_m128i(reinterpret_cast<const __m128i*>(s + 48),
                                           reinterpret_cast<const __m128i*>(s));
    const __m256i t1 = _mm256_loadu2_m128i(reinterpret_cast<const __m128i*>(s + 64),
                                           reinterpret_cast<const __m128i*>(s + 16));
    const __m256i t2 = _mm256_loadu2_m128i(reinterpret_cast<const __m128i*>(s + 80),
                                           reinterpret_cast<const __m128i*>(s + 32));
    const __m256i base =
        _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(work + x)));
    const __m256i d0 =
        _mm256_sub_epi16(_mm256_sub_epi16(channelLanes(t0, t1, t2, picks.at, 0), base), l0);
    const __m256i d1 =
        _mm256_sub_epi16(_mm256_sub_epi16(channelLanes(t0, t1, t2, picks.at, 1), base), l1);
    const __m256i d2 =
        _mm256_sub_epi16(_mm256_sub_epi16(channelLanes(t0, t1, t2, picks.at, 2), base), l2);
    __m256i away = _mm256_or_si256(_mm256_or_si256(outside(d0, width), outside(d1, width)),
                                   outside(d2, width));
    if (tint >= 0) {
      const __m256i sum = _mm256_add_epi16(
          _mm256_add_epi16(squaredNear(d0, half, reach), squaredNear(d1, half, reach)),
          squaredNear(d2, half, reach));
      away = _mm256_or_si256(away, _mm256_cmpgt_epi16(sum, tintSquare));
    }
    const __m256i packed =
        _mm256_permute4x64_epi64(_mm256_packs_epi16(away, _mm256_setzero_si256()), 0xd8);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(off + x), _mm256_castsi256_si128(packed));
  }
  return x;
}

}  // namespace

// Eight work pixels at a time: the screen's 16 pixels behind them split into channels, every
// other one kept as a 16-bit lane, where excess, bounds and work grey all fit. A tint excess
// beyond tint is off on its own, so clamping it just past tint keeps the squares' sum in 16
// bits and the answer unchanged.
void colourOffRow(const std::uint8_t* work, const std::uint8_t* screenRow, int screenCols,
                  const int low[3], int spread, int tint, int cols, std::uint8_t* off) {
  static const bool avx2 = __builtin_cpu_supports("avx2");
  int x = avx2 ? colourOffAvx2(work, screenRow, screenCols, low, spread, tint, cols, off) : 0;
#if CV_SIMD128
  const cv::v_int16x8 zero = cv::v_setzero_s16(), width = cv::v_setall_s16(short(2 * spread));
  const cv::v_int16x8 l0 = cv::v_setall_s16(short(low[0])), l1 = cv::v_setall_s16(short(low[1])),
                      l2 = cv::v_setall_s16(short(low[2]));
  const cv::v_int16x8 half = cv::v_setall_s16(short(spread)),
                      reach = cv::v_setall_s16(short(tint + 1)),
                      nearReach = cv::v_setall_s16(short(-tint - 1)),
                      tintSquare = cv::v_setall_s16(short(tint * tint));
  const cv::v_uint16x8 even = cv::v_setall_u16(0x00ff);
  for (; x + 8 <= cols && 2 * (x + 8) <= screenCols; x += 8) {
    cv::v_uint8x16 b, g, r;
    cv::v_load_deinterleave(screenRow + 6 * x, b, g, r);
    const cv::v_int16x8 base = cv::v_reinterpret_as_s16(cv::v_load_expand(work + x));
    const auto excess = [&](const cv::v_uint8x16& channel, const cv::v_int16x8& bound) {
      return cv::v_reinterpret_as_s16(cv::v_reinterpret_as_u16(channel) & even) - base - bound;
    };
    const cv::v_int16x8 d0 = excess(b, l0), d1 = excess(g, l1), d2 = excess(r, l2);
    cv::v_int16x8 away =
        (d0 < zero) | (d0 > width) | (d1 < zero) | (d1 > width) | (d2 < zero) | (d2 > width);
    if (tint >= 0) {
      const auto squared = [&](const cv::v_int16x8& d) {
        const cv::v_int16x8 t = cv::v_min(cv::v_max(d - half, nearReach), reach);
        return t * t;
      };
      away = away | (squared(d0) + squared(d1) + squared(d2) > tintSquare);
    }
    cv::v_pack_store(reinterpret_cast<signed char*>(off + x), away);
  }
#else
  (void)screenCols;
#endif
  colourOffRowPlain(work + x, screenRow + 6 * x, low, spread, tint, cols - x, off + x);
}

void levelRowPlain(const std::uint8_t* work, const float* u, const float* u2, float c0, float c1,
                   float c2, int cols, std::uint8_t* out) {
  for (int x = 0; x < cols; ++x) {
    const float level = work[x] - (c0 + c1 * u[x] + c2 * u2[x]) + 0.5f;
    out[x] = static_cast<std::uint8_t>(std::min(255.f, std::max(0.f, level)));
  }
}

namespace {

// The same steps on distinct arrays, which the compiler runs several lanes at a time; float
// steps in lanes round as they do one by one (no fused multiply-add is enabled).
__attribute__((target_clones("avx2", "default"))) void levelLanes(
    const std::uint8_t* __restrict work, const float* __restrict u, const float* __restrict u2,
    float c0, float c1, float c2, int cols, std::uint8_t* __restrict out) {
  for (int x = 0; x < cols; ++x) {
    const float level = work[x] - (c0 + c1 * u[x] + c2 * u2[x]) + 0.5f;
    const float above = 0.f < level ? level : 0.f;
    out[x] = static_cast<std::uint8_t>(above < 255.f ? above : 255.f);
  }
}

}  // namespace

void levelRow(const std::uint8_t* work, const float* u, const float* u2, float c0, float c1,
              float c2, int cols, std::uint8_t* out) {
  if (work == out)
    levelRowPlain(work, u, u2, c0, c1, c2, cols, out);
  else
    levelLanes(work, u, u2, c0, c1, c2, cols, out);
}

}  // namespace slidetrack
