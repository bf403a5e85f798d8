#pragma once
// Reading and writing picture files. The image codecs are loaded on first use: with the
// formats they support they bring in some hundred shared libraries, whose loading costs
// more than a short video's frames, and a run that saves no picture and reads no
// original slide never needs them.

#include <string>

#include <opencv2/core.hpp>

namespace slidetrack {

// The picture in 8-bit BGR, or an empty matrix when the file cannot be read or decoded.
cv::Mat imageFileRead(const std::string& path);

// Writes image in the format its extension names; false when it could not be written.
bool imageFileWrite(const std::string& path, const cv::Mat& image);

}  // namespace slidetrack
