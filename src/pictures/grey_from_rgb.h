#pragma once
// Packed RGB to grey, bit for bit as cv::cvtColor with COLOR_RGB2GRAY gives it, in fewer
// steps: the originals are converted whole, each once.

#include <cstddef>
#include <cstdint>

namespace slidetrack {

// n pixels of packed RGB into n grey bytes. False, touching nothing, where the processor
// lacks AVX2: the library converts then.
bool greyFromRgb(const std::uint8_t* rgb, std::uint8_t* grey, std::size_t n);

}  // namespace slidetrack
