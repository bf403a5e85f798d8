#include "results/image_files.h"

#include <cstdio>
#include <mutex>

#include "results/codecs/image_codecs.h"
#include "results/runtime_module.h"

namespace slidetrack {

namespace {

struct Codecs {
  ImageCodecsRead read = nullptr;
  ImageCodecsWrite write = nullptr;
};

Codecs loadCodecs() {
  Codecs codecs;
  void* module = runtimeModuleLoad(SLIDETRACK_CODECS_NAME, SLIDETRACK_CODECS_BUILT, "image codecs");
  if (!module) return codecs;
  codecs.read =
      reinterpret_cast<ImageCodecsRead>(runtimeModuleSymbol(module, SLIDETRACK_IMAGE_READ));
  codecs.write =
      reinterpret_cast<ImageCodecsWrite>(runtimeModuleSymbol(module, SLIDETRACK_IMAGE_WRITE));
  if (!codecs.read || !codecs.write) {
    std::fprintf(stderr, "Error: the image codecs module lacks its entry points\n");
    codecs = {};
  }
  return codecs;
}

std::once_flag loadOnce;
Codecs loaded;

const Codecs& codecs() {
  std::call_once(loadOnce, [] { loaded = loadCodecs(); });
  return loaded;
}

}  // namespace

cv::Mat imageFileRead(const std::string& path) {
  cv::Mat image;
  if (codecs().read && !codecs().read(path.c_str(), &image)) image.release();
  return image;
}

bool imageFileWrite(const std::string& path, const cv::Mat& image) {
  return codecs().write && codecs().write(path.c_str(), &image);
}

}  // namespace slidetrack
