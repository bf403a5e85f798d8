#pragma once
// Reading the common PNG layouts straight from the file's bytes: 8-bit grey, grey with
// alpha, RGB and RGBA, without interlacing. Everything else (palettes, other depths,
// interlacing, a transparent colour) is left to the video library's PNG decoder.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace slidetrack {

struct PngPixels {
  int width = 0;
  int height = 0;
  int channels = 0;                // 1 grey, 2 grey and alpha, 3 RGB, 4 RGBA
  std::vector<std::uint8_t> rows;  // height rows of width x channels samples, a byte more
};

// False for a layout left to the other decoder and for a damaged file. scratch and the
// pixels' rows are reused from call to call.
bool pngReadPixels(const std::uint8_t* file, std::size_t size, std::vector<std::uint8_t>& scratch,
                   PngPixels& pixels);

}  // namespace slidetrack
