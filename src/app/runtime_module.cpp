#include "app/runtime_module.h"

#include <dlfcn.h>

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace slidetrack {

void* runtimeModuleLoad(const std::string& fileName, const std::string& what) {
  std::error_code error;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) {
    std::fprintf(stderr, "Error: cannot load the %s: the program's own path is unknown\n",
                 what.c_str());
    return nullptr;
  }
  const std::filesystem::path bin = self.parent_path();
  for (const std::filesystem::path& path :
       {bin / fileName, (bin / SLIDETRACK_MODULE_DIR / fileName).lexically_normal()}) {
    if (!std::filesystem::exists(path, error)) continue;
    // A module that is there but broken is reported, not quietly swapped for another.
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module) return module;
    const char* why = dlerror();
    std::fprintf(stderr, "Error: cannot load the %s '%s': %s\n", what.c_str(), path.c_str(),
                 why ? why : "unknown error");
    return nullptr;
  }
  std::fprintf(stderr, "Error: cannot load the %s: no %s beside the program or in %s\n",
               what.c_str(), fileName.c_str(), (bin / SLIDETRACK_MODULE_DIR).c_str());
  return nullptr;
}

void* runtimeModuleSymbol(void* module, const char* name) {
  return module ? dlsym(module, name) : nullptr;
}

}  // namespace slidetrack
