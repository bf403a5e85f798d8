#pragma once
// The rectifier's inner loop: BGR pixels picked from a BGRA frame by byte offset.

#include <cstdint>

namespace slidetrack {

// Whether this processor runs gatherBgrRow (it needs AVX2).
bool gatherAvailable();
// out[3i..3i+2] = the B, G, R bytes at frame + offsets[i], or 0 where offsets[i] < 0; with
// grey, also grey[i] = their grey as cv::cvtColor's BGR2GRAY gives it.
void gatherBgrRow(const std::uint8_t* frame, const std::int32_t* offsets, std::uint8_t* out,
                  int count, std::uint8_t* grey = nullptr);

}  // namespace slidetrack
