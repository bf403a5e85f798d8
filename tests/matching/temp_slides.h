#pragma once
// Original slide files written to a fresh temporary directory, removed with the object.

#include <filesystem>
#include <string>

#include <unistd.h>

#include <opencv2/imgcodecs.hpp>

#include "slide_list.h"

class TempSlides {
 public:
  explicit TempSlides(const std::string& name)
      : dir_(std::filesystem::temp_directory_path() / (name + "_" + std::to_string(::getpid()))) {
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
  }
  ~TempSlides() { std::filesystem::remove_all(dir_); }

  // Appends a record for file; writes picture there unless it is empty (a missing file).
  void add(const std::string& file, const cv::Mat& picture) {
    const std::string path = (dir_ / file).string();
    if (!picture.empty()) cv::imwrite(path, picture);
    SlideRecord record;
    record.id = static_cast<int>(list_.slides.size());
    record.src = path;
    list_.slides.push_back(record);
  }
  const SlideList& list() const { return list_; }

 private:
  std::filesystem::path dir_;
  SlideList list_;
};
