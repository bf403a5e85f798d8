#pragma once
// The entry points of the image codecs module, looked up by name once it is loaded.

#include <opencv2/core.hpp>

namespace slidetrack {

extern "C" {
// Fills image with the BGR picture of path; false, image untouched, when unreadable.
using ImageCodecsRead = bool (*)(const char* path, cv::Mat* image);
// False when the picture could not be encoded or written.
using ImageCodecsWrite = bool (*)(const char* path, const cv::Mat* image);
}

#define SLIDETRACK_IMAGE_READ "slidetrackImageRead"
#define SLIDETRACK_IMAGE_WRITE "slidetrackImageWrite"

}  // namespace slidetrack
