#include "image_files.h"

#include <dlfcn.h>

#include <cstdio>
#include <filesystem>
#include <mutex>
#include <system_error>

#include "image_codecs.h"

namespace {

struct Codecs {
  ImageCodecsRead read = nullptr;
  ImageCodecsWrite write = nullptr;
};

std::string besideExecutable() {
  std::error_code error;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return {};
  return (self.parent_path() / SLIDETRACK_CODECS_NAME).string();
}

// The module stays loaded until the process ends: pictures may be read at any time and
// the codecs' own libraries are not made to be unloaded.
Codecs loadCodecs() {
  Codecs codecs;
  std::string tried;
  void* module = nullptr;
  for (const std::string& path : {besideExecutable(), std::string(SLIDETRACK_CODECS_BUILT)}) {
    if (path.empty() || !std::filesystem::exists(path)) continue;
    module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module) break;
    const char* why = dlerror();
    std::fprintf(stderr, "Error: cannot load the image codecs '%s': %s\n", path.c_str(),
                 why ? why : "unknown error");
    return codecs;
  }
  if (!module) {
    std::fprintf(stderr, "Error: cannot load the image codecs: no %s beside the program\n",
                 SLIDETRACK_CODECS_NAME);
    return codecs;
  }
  codecs.read = reinterpret_cast<ImageCodecsRead>(dlsym(module, SLIDETRACK_IMAGE_READ));
  codecs.write = reinterpret_cast<ImageCodecsWrite>(dlsym(module, SLIDETRACK_IMAGE_WRITE));
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
