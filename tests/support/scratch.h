#pragma once
// Scratch space for tests: a directory that goes away afterwards, and whole-file reads and
// writes.

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

// A fresh directory under the temporary directory, removed with all it holds at the end.
struct ScratchDir {
  ScratchDir() {
    std::string pattern = (fs::temp_directory_path() / "slidetrack-XXXXXX").string();
    if (mkdtemp(pattern.data())) path = pattern;
  }
  ~ScratchDir() {
    std::error_code ignored;
    fs::remove_all(path, ignored);
  }
  std::string operator/(const std::string& name) const { return (path / name).string(); }
  fs::path path;
};

inline std::string readFile(const fs::path& path) {
  std::stringstream text;
  text << std::ifstream(path, std::ios::binary).rdbuf();
  return text.str();
}

inline void writeFile(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}
