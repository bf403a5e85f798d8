#pragma once
// Decompression of zlib streams (deflate with the zlib header), for PNG picture data.
// Slide pictures are long runs of the same bytes; copying those a word at a time instead
// of a byte at a time makes this several times faster than the usual library on them.

#include <cstddef>
#include <cstdint>

namespace slidetrack {

// Decodes the stream in[0 .. inSize) into out, which must receive exactly outSize bytes.
// False for a malformed stream, one that ends early or gives more or fewer bytes, or one
// with a preset dictionary. The trailing checksum is not verified: a damaged stream
// almost always breaks the structure or the size, and the picture is checked no further.
bool zlibInflate(const std::uint8_t* in, std::size_t inSize, std::uint8_t* out,
                 std::size_t outSize);

}  // namespace slidetrack
