#include "results/runtime_module.h"

#include <dlfcn.h>

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace slidetrack {

namespace {

std::string besideExecutable(const std::string& fileName) {
  std::error_code error;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return {};
  return (self.parent_path() / fileName).string();
}

}  // namespace

void* runtimeModuleLoad(const std::string& fileName, const std::string& builtPath,
                        const std::string& what) {
  for (const std::string& path : {besideExecutable(fileName), builtPath}) {
    if (path.empty() || !std::filesystem::exists(path)) continue;
    // A module that is there but broken is reported, not quietly swapped for another.
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module) return module;
    const char* why = dlerror();
    std::fprintf(stderr, "Error: cannot load the %s '%s': %s\n", what.c_str(), path.c_str(),
                 why ? why : "unknown error");
    return nullptr;
  }
  std::fprintf(stderr, "Error: cannot load the %s: no %s beside the program\n", what.c_str(),
               fileName.c_str());
  return nullptr;
}

void* runtimeModuleSymbol(void* module, const char* name) {
  return module ? dlsym(module, name) : nullptr;
}

}  // namespace slidetrack
