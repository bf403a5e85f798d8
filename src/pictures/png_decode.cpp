// PNG through libpng, set up as OpenCV's imread sets it up, so the pixels are the same.

#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <opencv2/imgproc.hpp>

#include "common/error.h"
#include "pictures/picture_codecs.h"

namespace slidetrack {

namespace {

struct PngReader {
  png_structp png = nullptr;
  png_infop info = nullptr;
  const FileBytes* bytes = nullptr;
  size_t at = 0;
  char message[200] = "";
};

struct PngReaderFreer {
  void operator()(PngReader* reader) const {
    png_destroy_read_struct(&reader->png, reader->info ? &reader->info : nullptr, nullptr);
    delete reader;
  }
};
using PngReaderHandle = std::unique_ptr<PngReader, PngReaderFreer>;

void readBytes(png_structp png, png_bytep out, png_size_t length) {
  auto* reader = static_cast<PngReader*>(png_get_io_ptr(png));
  if (reader->bytes->size() - reader->at < length) png_error(png, "the file ends early");
  std::memcpy(out, reader->bytes->data() + reader->at, length);
  reader->at += length;
}

// libpng's message is kept for the warning; its own printing is left out.
void failed(png_structp png, png_const_charp message) {
  auto* reader = static_cast<PngReader*>(png_get_error_ptr(png));
  std::snprintf(reader->message, sizeof reader->message, "%s", message);
  png_longjmp(png, 1);
}

void warned(png_structp, png_const_charp) {}

// Grey wanted from a colour picture: its rows are read this many at a time and turned
// grey while they are in the cache, instead of a whole colour picture written and read
// back. They stay RGB as stored: RGB2GRAY weighs each sample as BGR2GRAY does after a swap.
constexpr int kBandRows = 16;

void bandToGrey(const cv::Mat& band, int rows, cv::Mat* grey, int y) {
  cv::Mat into = grey->rowRange(y, y + rows);
  cv::cvtColor(band.rowRange(0, rows), into, cv::COLOR_RGB2GRAY);
}

void rowsPointAt(cv::Mat* picture, int count, std::vector<png_bytep>* rows) {
  rows->resize(static_cast<size_t>(count));
  for (int y = 0; y < count; ++y) (*rows)[static_cast<size_t>(y)] = picture->ptr(y);
}

// Nothing with a destructor lives in this frame: libpng leaves it by longjmp.
bool decodeInto(PngReader* r, bool grey, png_uint_32* width, png_uint_32* height, cv::Mat* picture,
                cv::Mat* band, std::vector<png_bytep>* rows) {
  if (setjmp(png_jmpbuf(r->png))) return false;
  png_set_read_fn(r->png, r, readBytes);
  png_read_info(r->png, r->info);
  *width = png_get_image_width(r->png, r->info);
  *height = png_get_image_height(r->png, r->info);
  if (static_cast<std::int64_t>(*width) * *height > kPictureMaxPixels) return true;
  const int colourType = png_get_color_type(r->png, r->info);
  const int bitDepth = png_get_bit_depth(r->png, r->info);
  const bool colour = (colourType & PNG_COLOR_MASK_COLOR) != 0;
  if (bitDepth > 8) png_set_strip_16(r->png);
  png_set_strip_alpha(r->png);
  if (colourType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(r->png);
  if (!colour && bitDepth < 8) png_set_expand_gray_1_2_4_to_8(r->png);
  // Colour is BGR with grey expanded, as imread gives it. Read grey, a grey picture needs
  // no expansion (BGR2GRAY gives back g from (g, g, g)) and colour rows stay RGB.
  if (!grey && colour) png_set_bgr(r->png);
  if (!grey && !colour) png_set_gray_to_rgb(r->png);
  const int passes = png_set_interlace_handling(r->png);
  png_read_update_info(r->png, r->info);
  const int w = static_cast<int>(*width), h = static_cast<int>(*height);
  picture->create(h, w, grey ? CV_8UC1 : CV_8UC3);
  if (!grey || !colour) {
    rowsPointAt(picture, h, rows);
    png_read_image(r->png, rows->data());
  } else if (passes > 1) {  // interlaced rows are complete only after the last pass
    band->create(h, w, CV_8UC3);
    rowsPointAt(band, h, rows);
    png_read_image(r->png, rows->data());
    bandToGrey(*band, h, picture, 0);
  } else {
    band->create(std::min(kBandRows, h), w, CV_8UC3);
    rowsPointAt(band, band->rows, rows);
    for (int y = 0; y < h; y += band->rows) {
      const int count = std::min(band->rows, h - y);
      png_read_rows(r->png, rows->data(), nullptr, static_cast<png_uint_32>(count));
      bandToGrey(*band, count, picture, y);
    }
  }
  // The end of the data holds zlib's Adler-32 and the last CRC: a picture is only taken
  // once they are checked.
  png_read_end(r->png, nullptr);
  return true;
}

}  // namespace

bool looksLikePng(const FileBytes& bytes) {
  return bytes.size() >= 8 && png_sig_cmp(bytes.data(), 0, 8) == 0;
}

cv::Mat pngDecode(const FileBytes& bytes, bool grey) {
  // IHDR comes first in every PNG; libpng reads on to the pixel data before it tells the
  // size, which is too late for a file that claims far more than it holds.
  if (bytes.size() >= 24) {
    auto number = [&bytes](size_t at) {
      return (std::int64_t{bytes[at]} << 24) | (bytes[at + 1] << 16) | (bytes[at + 2] << 8) |
             bytes[at + 3];
    };
    pictureSizeCheck(number(16), number(20));
  }
  PngReaderHandle reader(new PngReader);
  reader->bytes = &bytes;
  reader->png = png_create_read_struct(PNG_LIBPNG_VER_STRING, reader.get(), failed, warned);
  if (!reader->png) throw Error(Error::Kind::kResources, "libpng cannot start");
  reader->info = png_create_info_struct(reader->png);
  if (!reader->info) throw Error(Error::Kind::kResources, "libpng cannot start");
  png_uint_32 width = 0, height = 0;
  cv::Mat picture, band;
  std::vector<png_bytep> rows;
  if (!decodeInto(reader.get(), grey, &width, &height, &picture, &band, &rows))
    throw Error(Error::Kind::kInput, std::string("damaged PNG: ") + reader->message);
  pictureSizeCheck(width, height);
  return picture;
}

}  // namespace slidetrack
