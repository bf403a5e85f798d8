#pragma once
// Slide pictures as JPEG, and writing them.

#include <cstdint>
#include <string>
#include <vector>

#include <opencv2/core.hpp>

namespace slidetrack {

constexpr int kSlidePictureQuality = 95;

// The JPEG file of an 8-bit BGR or grey picture, byte for byte what OpenCV's imwrite
// gives for it; false when it cannot be encoded.
bool jpegEncode(const cv::Mat& picture, std::vector<std::uint8_t>& bytes);

// Writes picture as a JPEG file at path, replacing the file whole (readers see the old
// picture or the new one). False, and nothing touched, when path is something other than
// a regular file (or a link to one) or the picture cannot be encoded or written.
bool slidePictureWrite(const std::string& path, const cv::Mat& picture);

}  // namespace slidetrack
