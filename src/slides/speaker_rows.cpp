#include "slides/speaker_rows.h"

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

// Eight work pixels at a time: the screen's 16 pixels behind them split into channels, every
// other one kept as a 16-bit lane, where excess, bounds and work grey all fit. A tint excess
// beyond tint is off on its own, so clamping it just past tint keeps the squares' sum in 16
// bits and the answer unchanged.
void colourOffRow(const std::uint8_t* work, const std::uint8_t* screenRow, int screenCols,
                  const int low[3], int spread, int tint, int cols, std::uint8_t* off) {
  int x = 0;
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
