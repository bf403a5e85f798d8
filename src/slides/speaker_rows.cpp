#include "slides/speaker_rows.h"

#include <algorithm>

#include <opencv2/core/hal/intrin.hpp>

namespace slidetrack {

void colourOffRowPlain(const std::uint8_t* work, const std::uint8_t* screenRow, const int low[3],
                       int spread, int cols, std::uint8_t* off) {
  // |excess - mean| > spread as one unsigned comparison per channel, without branches.
  const unsigned width = 2u * unsigned(spread);
  for (int x = 0; x < cols; ++x) {
    const int base = work[x];
    const std::uint8_t* v = screenRow + 6 * x;
    const bool away = (unsigned(v[0] - base - low[0]) > width) |
                      (unsigned(v[1] - base - low[1]) > width) |
                      (unsigned(v[2] - base - low[2]) > width);
    off[x] = away ? 255 : 0;
  }
}

// Eight work pixels at a time: the screen's 16 pixels behind them split into channels, every
// other one kept as a 16-bit lane, where excess, bounds and work grey all fit.
void colourOffRow(const std::uint8_t* work, const std::uint8_t* screenRow, int screenCols,
                  const int low[3], int spread, int cols, std::uint8_t* off) {
  int x = 0;
#if CV_SIMD128
  const cv::v_int16x8 zero = cv::v_setzero_s16(), width = cv::v_setall_s16(short(2 * spread));
  const cv::v_int16x8 l0 = cv::v_setall_s16(short(low[0])), l1 = cv::v_setall_s16(short(low[1])),
                      l2 = cv::v_setall_s16(short(low[2]));
  const cv::v_uint16x8 even = cv::v_setall_u16(0x00ff);
  for (; x + 8 <= cols && 2 * (x + 8) <= screenCols; x += 8) {
    cv::v_uint8x16 b, g, r;
    cv::v_load_deinterleave(screenRow + 6 * x, b, g, r);
    const cv::v_int16x8 base = cv::v_reinterpret_as_s16(cv::v_load_expand(work + x));
    const auto excess = [&](const cv::v_uint8x16& channel, const cv::v_int16x8& bound) {
      const cv::v_int16x8 d =
          cv::v_reinterpret_as_s16(cv::v_reinterpret_as_u16(channel) & even) - base - bound;
      return (d < zero) | (d > width);
    };
    const cv::v_int16x8 away = excess(b, l0) | excess(g, l1) | excess(r, l2);
    cv::v_pack_store(reinterpret_cast<signed char*>(off + x), away);
  }
#else
  (void)screenCols;
#endif
  colourOffRowPlain(work + x, screenRow + 6 * x, low, spread, cols - x, off + x);
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
