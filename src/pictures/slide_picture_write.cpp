#include "common/error.h"
#include "pictures/jpeg_encode.h"
#include "results/atomic_file.h"

namespace slidetrack {

bool slidePictureWrite(const std::string& path, const cv::Mat& picture, std::string* cause) {
  std::vector<std::uint8_t> bytes;
  if (!jpegEncode(picture, bytes)) {
    if (cause) *cause = "the picture cannot be encoded";
    return false;
  }
  try {
    // A device or pipe of that name is written to, a directory refused, never replaced.
    replaceFileAtomically(path, "the slide picture",
                          [&bytes](int fd) { return writeAll(fd, bytes.data(), bytes.size()); });
  } catch (const Error& e) {
    if (cause) *cause = e.what();
    return false;
  }
  return true;
}

}  // namespace slidetrack
