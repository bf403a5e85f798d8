// The only code that touches OpenCV's image codecs; built as a module of its own and
// loaded when a picture is first read or written.

#include "results/codecs/image_codecs.h"

#include <opencv2/imgcodecs.hpp>

namespace slidetrack {

extern "C" {

// The library's exceptions do not cross into the caller: a picture it cannot handle is
// only a failed read or write.
__attribute__((visibility("default"))) bool slidetrackImageRead(const char* path, cv::Mat* image) {
  try {
    cv::Mat read = cv::imread(path, cv::IMREAD_COLOR);
    if (read.empty()) return false;
    *image = read;
    return true;
  } catch (const cv::Exception&) {
    return false;
  }
}

__attribute__((visibility("default"))) bool slidetrackImageWrite(const char* path,
                                                                 const cv::Mat* image) {
  try {
    return cv::imwrite(path, *image);
  } catch (const cv::Exception&) {
    return false;
  }
}
}

}  // namespace slidetrack
