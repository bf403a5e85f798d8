#pragma once
// Per-row steps of finding the speaker, run on every image a run keeps pictures of: each in
// a form the compiler or the vector unit runs several pixels at a time, and in its plain
// form, which gives the same bytes.

#include <cstdint>

namespace slidetrack {

// off[x] = 255 where a channel c of the screen pixel at 2x of screenRow (8-bit BGR, at least
// 2 * cols - 1 pixels) exceeds the work grey work[x] by less than low[c] or by more than
// low[c] + 2 * spread, or, with tint >= 0, where the three excesses less low[c] + spread
// have squares summing to more than tint * tint; 0 elsewhere. low: in -300..300, spread:
// 0..100, tint: up to 100.
void colourOffRow(const std::uint8_t* work, const std::uint8_t* screenRow, int screenCols,
                  const int low[3], int spread, int tint, int cols, std::uint8_t* off);
void colourOffRowPlain(const std::uint8_t* work, const std::uint8_t* screenRow, const int low[3],
                       int spread, int tint, int cols, std::uint8_t* off);

// out[x] = work[x] less c0 + c1 u[x] + c2 u2[x], plus a half, clamped to 0..255 and cut to
// 8 bits, in float as written.
void levelRow(const std::uint8_t* work, const float* u, const float* u2, float c0, float c1,
              float c2, int cols, std::uint8_t* out);
void levelRowPlain(const std::uint8_t* work, const float* u, const float* u2, float c0, float c1,
                   float c2, int cols, std::uint8_t* out);

}  // namespace slidetrack
