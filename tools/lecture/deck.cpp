// Reads a directory of page pictures in page order.

#include "deck.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <tuple>

#include <opencv2/imgcodecs.hpp>

namespace fs = std::filesystem;

namespace {

long lastNumber(const std::string& name) {
  long value = -1;
  for (size_t i = 0; i < name.size();) {
    if (!std::isdigit(static_cast<unsigned char>(name[i]))) {
      ++i;
      continue;
    }
    size_t j = i;
    while (j < name.size() && std::isdigit(static_cast<unsigned char>(name[j]))) ++j;
    value = std::stol(name.substr(i, std::min<size_t>(j - i, 9)));
    i = j;
  }
  return value;
}

}  // namespace

std::vector<std::string> listDeckPages(const std::string& dir) {
  std::vector<std::pair<long, std::string>> pages;
  std::error_code ec;
  for (const fs::directory_entry& e : fs::directory_iterator(dir, ec)) {
    std::string ext = e.path().extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), ::tolower);
    if (e.is_regular_file() && ext == ".png")
      pages.emplace_back(lastNumber(e.path().stem().string()), e.path().string());
  }
  std::sort(pages.begin(), pages.end());
  std::vector<std::string> out;
  for (const auto& p : pages) out.push_back(p.second);
  return out;
}

cv::Size deckSlideSize(const std::vector<std::string>& pages, int width) {
  cv::Size size(width, width * 3 / 4);
  if (pages.empty()) return size;
  const cv::Mat first = cv::imread(pages.front(), cv::IMREAD_COLOR);
  if (first.empty()) return size;
  return cv::Size(width, std::max(1, cvRound(double(width) * first.rows / first.cols)));
}
