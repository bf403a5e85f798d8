// The one EXIF tag OpenCV's imread acts on for a JPEG: the orientation.

#include <opencv2/core.hpp>

#include "pictures/picture_codecs.h"

namespace slidetrack {

namespace {

unsigned readNumber(const std::uint8_t* at, int bytes, bool bigEndian) {
  unsigned value = 0;
  for (int i = 0; i < bytes; ++i) {
    const unsigned byte = at[bigEndian ? i : bytes - 1 - i];
    value = (value << 8) | byte;
  }
  return value;
}

}  // namespace

int exifOrientation(const std::uint8_t* app1, size_t size) {
  static const std::uint8_t kExif[6] = {'E', 'x', 'i', 'f', 0, 0};
  if (size < 14 || !std::equal(kExif, kExif + 6, app1)) return 1;
  const std::uint8_t* tiff = app1 + 6;
  const size_t length = size - 6;
  const bool bigEndian = tiff[0] == 'M' && tiff[1] == 'M';
  if (!bigEndian && !(tiff[0] == 'I' && tiff[1] == 'I')) return 1;
  const size_t ifd = readNumber(tiff + 4, 4, bigEndian);
  if (ifd > length || length - ifd < 2) return 1;
  const unsigned entries = readNumber(tiff + ifd, 2, bigEndian);
  for (unsigned i = 0; i < entries; ++i) {
    const size_t entry = ifd + 2 + 12 * static_cast<size_t>(i);
    if (entry + 12 > length) return 1;
    if (readNumber(tiff + entry, 2, bigEndian) != 0x0112) continue;
    const unsigned value = readNumber(tiff + entry + 8, 2, bigEndian);
    return value >= 1 && value <= 8 ? static_cast<int>(value) : 1;
  }
  return 1;
}

cv::Mat orientationApplied(const cv::Mat& picture, int orientation) {
  if (orientation <= 1 || orientation > 8) return picture;
  cv::Mat turned;
  if (orientation >= 5) {
    cv::transpose(picture, turned);
  } else {
    turned = picture;
  }
  // 2 and 6 mirror left-right, 3 and 7 both ways, 4 and 8 top-bottom; 5 only transposes.
  static const int kFlip[9] = {0, 0, 1, -1, 0, 0, 1, -1, 0};
  if (orientation == 5) return turned;
  cv::Mat out;
  cv::flip(turned, out, kFlip[orientation]);
  return out;
}

}  // namespace slidetrack
