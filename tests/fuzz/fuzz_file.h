#pragma once
// The readers take a path: each fuzz input is written to one file, reused from run to run.

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

inline const std::string& fuzzFile(const char* suffix) {
  static const std::string path = "/tmp/slidetrack_fuzz_" + std::to_string(getpid()) + suffix;
  return path;
}

inline const std::string& fuzzWrite(const uint8_t* data, size_t size, const char* suffix) {
  const std::string& path = fuzzFile(suffix);
  if (std::FILE* file = std::fopen(path.c_str(), "wb")) {
    std::fwrite(data, 1, size, file);
    std::fclose(file);
  }
  return path;
}
