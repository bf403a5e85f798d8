#pragma once
// The decoders behind pictureRead, one per library. Each takes the whole file, checks the
// size from the header against kPictureMaxPixels before decoding and throws Error with
// the cause (the caller adds the file name).

#include <cstdint>
#include <string>
#include <vector>

#include <opencv2/core.hpp>

#include "pictures/picture_read.h"

namespace slidetrack {

using FileBytes = std::vector<std::uint8_t>;

// Throws Error when a picture of this size is not to be read.
void pictureSizeCheck(std::int64_t width, std::int64_t height);

// Whether bytes start like a PNG or a JPEG.
bool looksLikePng(const FileBytes& bytes);
bool looksLikeJpeg(const FileBytes& bytes);

// 8-bit BGR, the pixels OpenCV's imread(IMREAD_COLOR) gives, or, with grey, the grey of
// those pixels by BGR2GRAY.
cv::Mat pngDecode(const FileBytes& bytes, bool grey);

// 8-bit BGR or, with grey, the luma plane alone; turned by the EXIF orientation.
cv::Mat jpegDecode(const FileBytes& bytes, bool grey);

// Any other format FFmpeg reads, in 8-bit BGR.
cv::Mat otherPictureDecode(const std::string& path);

// The EXIF orientation (1 to 8) in a JPEG's APP1 segment, 1 when none is given.
int exifOrientation(const std::uint8_t* app1, size_t size);

// Turns a picture as EXIF orientation asks for.
cv::Mat orientationApplied(const cv::Mat& picture, int orientation);

}  // namespace slidetrack
