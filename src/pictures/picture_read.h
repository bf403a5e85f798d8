#pragma once
// Reading still pictures (the original slides) with the pixels OpenCV's imread gives: PNG
// with lodepng and libdeflate, JPEG with libjpeg-turbo as imread uses it, anything else
// with FFmpeg's decoders.

#include <cstdint>
#include <string>

#include <opencv2/core.hpp>

namespace slidetrack {

// Pictures with more pixels are refused from their header, before any decoding: a
// 100-megapixel slide is already far beyond any projector.
constexpr std::int64_t kPictureMaxPixels = 100'000'000;

// The picture in 8-bit BGR: alpha dropped, grey and palette expanded, 16-bit samples cut
// to their high byte, a JPEG turned by its EXIF orientation. Throws Error (kInput) naming
// the file and the cause for a file that is missing, not a regular file, too large or
// damaged: a PNG with a wrong CRC or Adler-32, or cut off, is refused.
cv::Mat pictureRead(const std::string& path);

// The same in 8-bit grey, as the features take it: a JPEG's luma plane as decoded, any
// other picture by the grey weights of its BGR pixels.
cv::Mat pictureReadGrey(const std::string& path);

}  // namespace slidetrack
