#include "video/png_reader.h"

#include <array>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "video/inflate.h"

namespace slidetrack {

namespace {

std::uint32_t bigEndian(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
         static_cast<std::uint32_t>(p[2]) << 8 | p[3];
}

// CRC-32 of a chunk's type and data, as PNG stores it after them; eight bytes a step
// through eight tables, so that one byte's lookup does not wait on the one before.
std::uint32_t chunkCrc(const std::uint8_t* p, std::size_t n) {
  static const auto tables = [] {
    std::array<std::array<std::uint32_t, 256>, 8> t{};
    for (std::uint32_t i = 0; i < 256; ++i) {
      std::uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xedb88320u ^ (c >> 1) : c >> 1;
      t[0][i] = c;
    }
    for (int k = 1; k < 8; ++k) {
      for (int i = 0; i < 256; ++i) t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xff];
    }
    return t;
  }();
  std::uint32_t c = 0xffffffffu;
  std::size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    std::uint32_t low, high;
    std::memcpy(&low, p + i, 4);  // little-endian, as every target here is
    std::memcpy(&high, p + i + 4, 4);
    low ^= c;
    c = tables[7][low & 0xff] ^ tables[6][(low >> 8) & 0xff] ^ tables[5][(low >> 16) & 0xff] ^
        tables[4][low >> 24] ^ tables[3][high & 0xff] ^ tables[2][(high >> 8) & 0xff] ^
        tables[1][(high >> 16) & 0xff] ^ tables[0][high >> 24];
  }
  for (; i < n; ++i) c = tables[0][(c ^ p[i]) & 0xff] ^ (c >> 8);
  return c ^ 0xffffffffu;
}

// Largest picture read here, in samples; a header may claim anything.
constexpr std::size_t kMaxSamples = std::size_t(1) << 28;

int paeth(int a, int b, int c) {
  const int p = a + b - c;
  const int pa = p > a ? p - a : a - p;
  const int pb = p > b ? p - b : b - p;
  const int pc = p > c ? p - c : c - p;
  return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
}

// Undoes one row's filter. The left neighbours of each channel stay in registers, so the
// sums that run along the row are not held up by memory.
template <int N>
bool unfilterRow(int filter, const std::uint8_t* in, const std::uint8_t* above, std::uint8_t* out,
                 int width) {
  const std::size_t n = static_cast<std::size_t>(width) * N;
  switch (filter) {
    case 0:
      std::memcpy(out, in, n);
      return true;
    case 1: {
#if defined(__SSE2__)
      // Three- and four-byte pixels a whole pixel per add. Each load and store spans four
      // bytes; with three a pixel the fourth is the next pixel's, stored again right
      // after, and the rows have a byte to spare after the last.
      if (N >= 3) {
        __m128i left = _mm_setzero_si128();
        for (std::size_t i = 0; i < n; i += N) {
          std::int32_t word;
          std::memcpy(&word, in + i, 4);
          left = _mm_add_epi8(left, _mm_cvtsi32_si128(word));
          word = _mm_cvtsi128_si32(left);
          std::memcpy(out + i, &word, 4);
        }
        return true;
      }
#endif
      std::uint8_t left[N] = {};
      for (std::size_t i = 0; i < n; i += N) {
        for (int c = 0; c < N; ++c)
          out[i + c] = left[c] = static_cast<std::uint8_t>(in[i + c] + left[c]);
      }
      return true;
    }
    case 2:
      for (std::size_t i = 0; i < n; ++i) out[i] = static_cast<std::uint8_t>(in[i] + above[i]);
      return true;
    case 3: {
      int left[N] = {};
      for (std::size_t i = 0; i < n; i += N) {
        for (int c = 0; c < N; ++c) {
          left[c] = static_cast<std::uint8_t>(in[i + c] + ((left[c] + above[i + c]) >> 1));
          out[i + c] = static_cast<std::uint8_t>(left[c]);
        }
      }
      return true;
    }
    case 4: {
      int left[N] = {}, corner[N] = {};
      for (std::size_t i = 0; i < n; i += N) {
        for (int c = 0; c < N; ++c) {
          const int up = above[i + c];
          left[c] = static_cast<std::uint8_t>(in[i + c] + paeth(left[c], up, corner[c]));
          corner[c] = up;
          out[i + c] = static_cast<std::uint8_t>(left[c]);
        }
      }
      return true;
    }
    default:
      return false;
  }
}

using RowUnfilter = bool (*)(int, const std::uint8_t*, const std::uint8_t*, std::uint8_t*, int);
const RowUnfilter kUnfilters[5] = {nullptr, unfilterRow<1>, unfilterRow<2>, unfilterRow<3>,
                                   unfilterRow<4>};

}  // namespace

bool pngReadPixels(const std::uint8_t* file, std::size_t size, std::vector<std::uint8_t>& scratch,
                   PngPixels& pixels) {
  static const std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  if (!file || size < 8 + 25 || std::memcmp(file, kSignature, 8) != 0) return false;
  int width = 0, height = 0, channels = 0;
  scratch.clear();
  bool ended = false;
  for (std::size_t at = 8; !ended;) {
    if (size - at < 12) return false;
    const std::uint32_t length = bigEndian(file + at);
    const std::uint8_t* type = file + at + 4;
    const std::uint8_t* data = file + at + 8;
    if (length > size - at - 12) return false;
    // A damaged critical chunk fails here, as in the image library; others are not read.
    const bool critical = !(type[0] & 0x20);
    if (critical && chunkCrc(type, length + 4) != bigEndian(data + length)) return false;
    at += 12 + static_cast<std::size_t>(length);
    const bool header = std::memcmp(type, "IHDR", 4) == 0;
    if (header != (channels == 0)) return false;  // the header first, and once
    if (header) {
      if (length != 13) return false;
      const std::uint32_t w = bigEndian(data), h = bigEndian(data + 4);
      static const int kChannels[7] = {1, 0, 3, 0, 2, 0, 4};
      const int colour = data[9];
      if (data[8] != 8 || colour > 6 || !kChannels[colour] || data[10] || data[11] || data[12]) {
        return false;
      }
      channels = kChannels[colour];
      if (w == 0 || h == 0 || w > kMaxSamples || h > kMaxSamples ||
          static_cast<std::size_t>(w) * h * channels > kMaxSamples) {
        return false;
      }
      width = static_cast<int>(w);
      height = static_cast<int>(h);
    } else if (std::memcmp(type, "IDAT", 4) == 0) {
      scratch.insert(scratch.end(), data, data + length);
    } else if (std::memcmp(type, "IEND", 4) == 0) {
      ended = true;
    } else if (std::memcmp(type, "tRNS", 4) == 0 || critical) {
      return false;  // a transparent colour, or a critical chunk not known here
    }
  }
  const std::size_t stride = static_cast<std::size_t>(width) * channels;
  const std::size_t filtered = (stride + 1) * height;
  // Deflate gives at most 258 bytes for two bits or so; a file claiming more than that
  // is damaged, and no memory is taken for it.
  if (filtered / 1100 > scratch.size()) return false;
  // The filtered rows behind the compressed data in the same buffer, then a row of zeros
  // as the row above the first.
  const std::size_t compressed = scratch.size();
  scratch.resize(compressed + filtered + stride);
  std::uint8_t* in = scratch.data() + compressed;
  if (!zlibInflate(scratch.data(), compressed, in, filtered)) return false;
  const std::uint8_t* above = in + filtered;
  std::memset(in + filtered, 0, stride);
  pixels.rows.resize(stride * height + 1);  // a byte to spare for four-byte stores
  for (int y = 0; y < height; ++y, in += stride + 1) {
    std::uint8_t* out = pixels.rows.data() + stride * y;
    if (!kUnfilters[channels](in[0], in + 1, above, out, width)) return false;
    above = out;
  }
  pixels.width = width;
  pixels.height = height;
  pixels.channels = channels;
  return true;
}

}  // namespace slidetrack
