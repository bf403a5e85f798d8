// The common plain PNG (8-bit grey, grey with alpha, RGB or RGBA, not interlaced) inflated
// in one piece by libdeflate, several times faster than zlib's streaming inflate and its
// Adler-32. Anything else, and any file in which something is amiss, is left to libpng,
// so what is refused and why stays libpng's.

#include <libdeflate.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include <opencv2/imgproc.hpp>

#include "pictures/picture_codecs.h"

namespace slidetrack {

namespace {

struct DecompressorFreer {
  void operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }
};

constexpr std::uint32_t kMaxSide = 1000000;  // libpng's default limit on either side
// Larger pictures are left to libpng, which needs no buffer of the whole inflated data.
constexpr size_t kMaxInflated = size_t{64} << 20;
// Rows are unfiltered and converted this many at a time, while they are in the cache.
constexpr int kBandRows = 16;

std::uint32_t bigEndian(const std::uint8_t* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
         p[3];
}

bool isType(const std::uint8_t* type, const char* name) { return std::memcmp(type, name, 4) == 0; }

struct Plain {
  int width = 0, height = 0, channels = 0;
  std::vector<std::uint8_t> stream;  // the zlib stream of the IDAT chunks
};

// False for a picture that is not plain or a file libpng would treat in any other way
// than reading its pixels: a bad critical chunk, an unknown critical chunk, a palette,
// IDAT chunks that are not consecutive, no IEND.
bool plainChunks(const FileBytes& bytes, Plain& plain) {
  bool header = false, inData = false, dataDone = false;
  for (size_t at = 8; at + 12 <= bytes.size();) {
    const std::uint32_t length = bigEndian(&bytes[at]);
    const std::uint8_t* type = &bytes[at + 4];
    if (length > 0x7fffffffu || bytes.size() - at - 12 < length) return false;
    for (int i = 0; i < 4; ++i)
      if (!((type[i] >= 'A' && type[i] <= 'Z') || (type[i] >= 'a' && type[i] <= 'z'))) return false;
    const std::uint8_t* data = type + 4;
    const bool critical = (type[0] & 0x20) == 0;
    // libpng only warns about a wrong CRC on an ancillary chunk.
    if (critical && libdeflate_crc32(0, type, length + 4) != bigEndian(data + length)) return false;
    at += 12 + size_t{length};
    if (!header) {
      if (!isType(type, "IHDR") || length != 13) return false;
      const std::uint32_t width = bigEndian(data), height = bigEndian(data + 4);
      const int channels[] = {1, 0, 3, 0, 2, 0, 4};
      if (width < 1 || width > kMaxSide || height < 1 || height > kMaxSide || data[8] != 8 ||
          data[9] > 6 || channels[data[9]] == 0 || data[10] != 0 || data[11] != 0 || data[12] != 0)
        return false;
      plain.width = static_cast<int>(width);
      plain.height = static_cast<int>(height);
      plain.channels = channels[data[9]];
      header = true;
    } else if (isType(type, "IDAT")) {
      if (dataDone) return false;
      inData = true;
      plain.stream.insert(plain.stream.end(), data, data + length);
    } else {
      dataDone = inData;
      if (isType(type, "IEND")) return length == 0 && dataDone;
      if (critical) return false;
    }
  }
  return false;
}

void subRow(std::uint8_t* row, size_t count, int step) {
  for (size_t i = step; i < count; ++i) row[i] = static_cast<std::uint8_t>(row[i] + row[i - step]);
}

// The running left pixel kept in registers: no store has to be read back.
template <int kStep>
void subRowOf(std::uint8_t* row, size_t count) {
  std::uint8_t left[kStep];
  for (int k = 0; k < kStep; ++k) left[k] = row[k];
  for (size_t i = kStep; i < count; i += kStep)
    for (int k = 0; k < kStep; ++k)
      left[k] = row[i + k] = static_cast<std::uint8_t>(row[i + k] + left[k]);
}

int paeth(int a, int b, int c) {
  const int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
  return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
}

// Undoes a row's filter in place; prior is the row above, unfiltered (zeros for the first).
bool unfilter(int filter, std::uint8_t* row, const std::uint8_t* prior, size_t count, int step) {
  switch (filter) {
    case 0:
      return true;
    case 1:
      if (step == 3)
        subRowOf<3>(row, count);
      else if (step == 4)
        subRowOf<4>(row, count);
      else
        subRow(row, count, step);
      return true;
    case 2:
      for (size_t i = 0; i < count; ++i) row[i] = static_cast<std::uint8_t>(row[i] + prior[i]);
      return true;
    case 3:
      for (size_t i = 0; i < count; ++i) {
        const int left = i >= static_cast<size_t>(step) ? row[i - step] : 0;
        row[i] = static_cast<std::uint8_t>(row[i] + ((left + prior[i]) >> 1));
      }
      return true;
    case 4:
      for (size_t i = 0; i < static_cast<size_t>(step) && i < count; ++i)
        row[i] = static_cast<std::uint8_t>(row[i] + prior[i]);
      for (size_t i = step; i < count; ++i)
        row[i] =
            static_cast<std::uint8_t>(row[i] + paeth(row[i - step], prior[i], prior[i - step]));
      return true;
    default:
      return false;
  }
}

// Rows of the unfiltered data as libpng's set-up in pngDecode gives them.
void convertBand(const cv::Mat& rows, int channels, bool grey, cv::Mat into) {
  static const int kGrey[] = {0, 0, cv::COLOR_RGB2GRAY, cv::COLOR_RGBA2GRAY};
  static const int kColour[] = {cv::COLOR_GRAY2BGR, 0, cv::COLOR_RGB2BGR, cv::COLOR_RGBA2BGR};
  if (channels == 1 && grey) {
    rows.copyTo(into);
  } else if (channels == 2) {  // grey with alpha: the alpha is dropped
    for (int y = 0; y < rows.rows; ++y) {
      const std::uint8_t* in = rows.ptr(y);
      std::uint8_t* out = into.ptr(y);
      const int copies = grey ? 1 : 3;
      for (int x = 0; x < rows.cols / 2; ++x)
        for (int k = 0; k < copies; ++k) *out++ = in[2 * x];
    }
  } else {
    cv::cvtColor(rows, into, grey ? kGrey[channels - 1] : kColour[channels - 1]);
  }
}

}  // namespace

bool pngDecodePlain(const FileBytes& bytes, bool grey, cv::Mat* picture) {
  Plain plain;
  if (!plainChunks(bytes, plain) || plain.stream.size() < 2) return false;
  // A window below 32 KB would make distances beyond it errors in zlib, not in libdeflate.
  if (plain.stream[0] != 0x78) return false;
  const size_t rowBytes = static_cast<size_t>(plain.width) * plain.channels;
  const size_t size = (rowBytes + 1) * plain.height;
  if (size > kMaxInflated) return false;
  thread_local std::vector<std::uint8_t> inflated;
  inflated.resize(size);
  thread_local std::unique_ptr<libdeflate_decompressor, DecompressorFreer> decompressor(
      libdeflate_alloc_decompressor());
  if (!decompressor) return false;
  size_t read = 0, written = 0;
  const bool whole =
      libdeflate_zlib_decompress_ex(decompressor.get(), plain.stream.data(), plain.stream.size(),
                                    inflated.data(), size, &read, &written) == LIBDEFLATE_SUCCESS &&
      read == plain.stream.size() && written == size;
  if (!whole) return false;
  picture->create(plain.height, plain.width, grey ? CV_8UC1 : CV_8UC3);
  const std::vector<std::uint8_t> zeros(rowBytes, 0);
  const size_t stride = rowBytes + 1;
  for (int y = 0; y < plain.height; y += kBandRows) {
    const int count = std::min(kBandRows, plain.height - y);
    for (int r = y; r < y + count; ++r) {
      std::uint8_t* row = &inflated[r * stride];
      const std::uint8_t* prior = r > 0 ? row - stride + 1 : zeros.data();
      if (!unfilter(row[0], row + 1, prior, rowBytes, plain.channels)) return false;
    }
    const cv::Mat rows(count, static_cast<int>(rowBytes) / plain.channels, CV_8UC(plain.channels),
                       &inflated[y * stride + 1], stride);
    convertBand(plain.channels == 2 ? rows.reshape(1) : rows, plain.channels, grey,
                picture->rowRange(y, y + count));
  }
  // A large buffer is not kept for the rest of the run.
  if (inflated.capacity() > (size_t{16} << 20)) std::vector<std::uint8_t>().swap(inflated);
  return true;
}

}  // namespace slidetrack
