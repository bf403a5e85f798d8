// PNG through lodepng, its image data inflated by libdeflate: zlib's inflate was most of
// the cost of reading the originals. The pixels are those OpenCV's imread gives.

#include <libdeflate.h>
#include <lodepng.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include <opencv2/imgproc.hpp>

#include "common/error.h"
#include "pictures/grey_from_rgb.h"
#include "pictures/picture_codecs.h"

namespace slidetrack {

namespace {

struct Freer {
  void operator()(unsigned char* bytes) const { std::free(bytes); }
};
using Malloced = std::unique_ptr<unsigned char, Freer>;

struct StateCleaner {
  void operator()(LodePNGState* state) const {
    lodepng_state_cleanup(state);
    delete state;
  }
};
using StateHandle = std::unique_ptr<LodePNGState, StateCleaner>;

struct DecompressorFreer {
  void operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }
};
using DecompressorHandle = std::unique_ptr<libdeflate_decompressor, DecompressorFreer>;

struct Inflating {
  libdeflate_decompressor* decompressor = nullptr;
  size_t imageBytes = 0;  // the filtered rows of the whole picture: the usual size
  size_t mostBytes = 0;   // no stream may grow beyond this
  const char* failure = nullptr;
  bool outOfMemory = false;
};

// Filtered rows of every Adam7 pass, or of the whole picture when not interlaced.
size_t filteredBytes(size_t width, size_t height, size_t bitsPerPixel, bool adam7) {
  const auto rows = [bitsPerPixel](size_t w, size_t h) {
    return w == 0 || h == 0 ? 0 : h * (1 + (w * bitsPerPixel + 7) / 8);
  };
  if (!adam7) return rows(width, height);
  static const size_t x0[7] = {0, 4, 0, 2, 0, 1, 0}, y0[7] = {0, 0, 4, 0, 2, 0, 1};
  static const size_t dx[7] = {8, 8, 4, 4, 2, 2, 1}, dy[7] = {8, 8, 8, 4, 4, 2, 2};
  size_t total = 0;
  for (int p = 0; p < 7; ++p)
    total += rows((width + dx[p] - x0[p] - 1) / dx[p], (height + dy[p] - y0[p] - 1) / dy[p]);
  return total;
}

// lodepng's hook for every zlib stream of the file: the image data, and compressed text or
// colour profiles, whose size is not known beforehand. libdeflate checks the Adler-32.
unsigned inflateStream(unsigned char** out, size_t* outSize, const unsigned char* in, size_t inSize,
                       const LodePNGDecompressSettings* settings) {
  auto* inflating = static_cast<Inflating*>(const_cast<void*>(settings->custom_context));
  size_t capacity = std::max(inflating->imageBytes, size_t{1} << 16);
  for (;;) {
    Malloced buffer(static_cast<unsigned char*>(std::malloc(capacity)));
    if (!buffer) {  // no exception may cross lodepng
      inflating->outOfMemory = true;
      return 1;
    }
    size_t got = 0;
    const libdeflate_result result = libdeflate_zlib_decompress(inflating->decompressor, in, inSize,
                                                                buffer.get(), capacity, &got);
    if (result == LIBDEFLATE_SUCCESS) {
      *out = buffer.release();
      *outSize = got;
      return 0;
    }
    if (result != LIBDEFLATE_INSUFFICIENT_SPACE || capacity >= inflating->mostBytes) {
      inflating->failure = result == LIBDEFLATE_INSUFFICIENT_SPACE
                               ? "more compressed data than the picture holds"
                               : "the compressed data is broken or fails its Adler-32 check";
      return 1;
    }
    capacity = std::min(capacity * 2, inflating->mostBytes);
  }
}

[[noreturn]] void refuse(const std::string& cause) {
  throw Error(Error::Kind::kInput, "damaged PNG: " + cause);
}

// lodepng's text for what users meet most: with every stream inflated here, 64 is a chunk
// cut off by the end of the file, not a Huffman table; and its CRC text invites skipping
// the check.
[[noreturn]] void refuseCode(unsigned code, const char* inflateFailure = nullptr) {
  if (code == 30 || code == 64) refuse("the file ends early");
  if (code == 57) refuse("a chunk fails its CRC");
  if (code == 110 && inflateFailure) refuse(inflateFailure);
  refuse(lodepng_error_text(code));
}

// Every chunk's CRC up to the image's end, through libdeflate's: lodepng's own, a byte at a
// time, cost a twentieth of reading an original. A chunk cut off by the end of the file is
// left for lodepng to report.
void checkChunkCrcs(const FileBytes& bytes) {
  const unsigned char* const end = bytes.data() + bytes.size();
  for (const unsigned char* chunk = bytes.data() + 8; end - chunk >= 12;
       chunk = lodepng_chunk_next_const(chunk, end)) {
    const size_t length = lodepng_chunk_length(chunk);
    if (length > size_t(end - chunk) - 12) return;
    const unsigned char* stored = chunk + 8 + length;
    const std::uint32_t crc = std::uint32_t(stored[0]) << 24 | std::uint32_t(stored[1]) << 16 |
                              std::uint32_t(stored[2]) << 8 | stored[3];
    if (libdeflate_crc32(0, chunk + 4, length + 4) != crc) refuse("a chunk fails its CRC");
    if (lodepng_chunk_type_equals(chunk, "IEND")) return;
  }
}

}  // namespace

bool looksLikePng(const FileBytes& bytes) {
  static const unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  return bytes.size() >= 8 && std::equal(kSignature, kSignature + 8, bytes.begin());
}

cv::Mat pngDecode(const FileBytes& bytes, bool grey) {
  StateHandle state(new LodePNGState);
  lodepng_state_init(state.get());
  unsigned width = 0, height = 0;
  if (const unsigned error =
          lodepng_inspect(&width, &height, state.get(), bytes.data(), bytes.size()))
    refuseCode(error);
  pictureSizeCheck(width, height);
  checkChunkCrcs(bytes);
  state->decoder.ignore_crc = 1;
  const LodePNGColorMode& stored = state->info_png.color;
  const size_t imageBytes =
      filteredBytes(width, height, lodepng_get_bpp(&stored), state->info_png.interlace_method != 0);
  DecompressorHandle decompressor(libdeflate_alloc_decompressor());
  if (!decompressor) throw Error(Error::Kind::kResources, "out of memory reading a PNG");
  // A colour profile may grow to 64 MB; image data beyond its rows is refused by lodepng.
  Inflating inflating{decompressor.get(), imageBytes, std::max(imageBytes, size_t{1} << 26)};
  state->decoder.zlibsettings.custom_zlib = inflateStream;
  state->decoder.zlibsettings.custom_context = &inflating;
  state->decoder.read_text_chunks = 0;
  // 8-bit grey or RGB: 16-bit samples cut to their high byte, alpha dropped, palette and
  // low bit depths expanded, as imread has libpng do.
  const bool greyStored = lodepng_is_greyscale_type(&stored) != 0;
  state->info_raw.colortype = greyStored ? LCT_GREY : LCT_RGB;
  state->info_raw.bitdepth = 8;
  unsigned char* decoded = nullptr;
  const unsigned error =
      lodepng_decode(&decoded, &width, &height, state.get(), bytes.data(), bytes.size());
  const Malloced owned(decoded);
  if (inflating.outOfMemory) throw Error(Error::Kind::kResources, "out of memory reading a PNG");
  if (error) refuseCode(error, inflating.failure);
  const int w = static_cast<int>(width), h = static_cast<int>(height);
  const cv::Mat rows(h, w, greyStored ? CV_8UC1 : CV_8UC3, decoded);
  cv::Mat picture;
  if (greyStored && grey)
    rows.copyTo(picture);
  else if (greyStored)
    cv::cvtColor(rows, picture, cv::COLOR_GRAY2BGR);
  else if (!grey)
    cv::cvtColor(rows, picture, cv::COLOR_RGB2BGR);
  else {
    picture.create(h, w, CV_8UC1);
    if (!greyFromRgb(decoded, picture.data, picture.total()))
      cv::cvtColor(rows, picture, cv::COLOR_RGB2GRAY);
  }
  return picture;
}

}  // namespace slidetrack
