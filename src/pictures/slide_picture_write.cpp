#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "common/error.h"
#include "pictures/jpeg_encode.h"
#include "results/atomic_file.h"

namespace slidetrack {

bool slidePictureWrite(const std::string& path, const cv::Mat& picture) {
  // A directory, device or pipe of that name is the user's, not an old picture.
  struct stat info;
  if (stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) return false;
  std::vector<std::uint8_t> bytes;
  if (!jpegEncode(picture, bytes)) return false;
  try {
    replaceFileAtomically(path, "the slide picture", [&bytes](int fd) {
      size_t done = 0;
      while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
      }
      return true;
    });
  } catch (const Error&) {
    return false;
  }
  return true;
}

}  // namespace slidetrack
