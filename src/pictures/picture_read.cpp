#include "pictures/picture_read.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include <opencv2/imgproc.hpp>

#include "common/error.h"
#include "pictures/picture_codecs.h"

namespace slidetrack {

namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

// Stops at a file far larger than any picture: even an uncompressed 100-megapixel one
// takes 300 MB.
constexpr long long kFileMaxBytes = 3 * kPictureMaxPixels + (1 << 20);

FileBytes fileRead(const std::string& path) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0) throw Error(Error::Kind::kInput, std::strerror(errno));
  if (!S_ISREG(info.st_mode)) throw Error(Error::Kind::kInput, "not a regular file");
  if (info.st_size > kFileMaxBytes)
    throw Error(Error::Kind::kInput, "a file of " + std::to_string(info.st_size >> 20) +
                                         " MB, far beyond a picture of " +
                                         std::to_string(kPictureMaxPixels / 1000000) +
                                         " megapixels");
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
  if (!file) throw Error(Error::Kind::kInput, std::strerror(errno));
  FileBytes bytes(static_cast<size_t>(info.st_size));
  if (std::fread(bytes.data(), 1, bytes.size(), file.get()) != bytes.size())
    throw Error(Error::Kind::kInput, "cannot be read in full");
  return bytes;
}

cv::Mat decoded(const std::string& path, bool grey) {
  try {
    const FileBytes bytes = fileRead(path);
    if (looksLikeJpeg(bytes)) return jpegDecode(bytes, grey);
    if (looksLikePng(bytes)) return pngDecode(bytes, grey);
    cv::Mat picture = otherPictureDecode(path);
    if (grey) cv::cvtColor(picture, picture, cv::COLOR_BGR2GRAY);
    return picture;
  } catch (const Error& e) {
    throw Error(e.kind(), "'" + path + "': " + e.what());
  }
}

}  // namespace

void pictureSizeCheck(std::int64_t width, std::int64_t height) {
  // Divided, not multiplied: two header fields near 2^32 overflow any product.
  if (width <= 0 || height <= 0 || width <= kPictureMaxPixels / height) return;
  throw Error(Error::Kind::kInput, "the picture is " + std::to_string(width) + " x " +
                                       std::to_string(height) + " pixels, more than the " +
                                       std::to_string(kPictureMaxPixels / 1000000) +
                                       " megapixels read");
}

cv::Mat pictureRead(const std::string& path) { return decoded(path, false); }

cv::Mat pictureReadGrey(const std::string& path) { return decoded(path, true); }

}  // namespace slidetrack
