#pragma once
// Test pictures that carry their own number as a bar code of black and white blocks,
// readable back from a decoded BGRA image despite compression.

#include <cstdint>
#include <string>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "clip_writer.h"

namespace frame_code {

constexpr int kBits = 12;
constexpr int kBlock = 20;  // block width; bars are 40 rows high
const cv::Size kSize(320, 240);

inline cv::Rect block(int bit, int row) {
  return cv::Rect(40 + bit * kBlock, 20 + row * 50, kBlock, 40);
}

// Picture `number`: the code on top (row 0 the bits, row 1 their complement), and a moving
// textured scene below so the encoder has real motion to predict.
inline cv::Mat draw(int number) {
  cv::Mat frame(kSize, CV_8UC3, cv::Scalar(90, 110, 100));
  for (int y = 130; y < kSize.height; y += 8)
    cv::line(frame, {0, y}, {kSize.width, y + 20}, cv::Scalar(60, 150, 80), 2);
  cv::circle(frame, {(number * 7) % kSize.width, 180}, 25, cv::Scalar(230, 230, 240), -1);
  for (int bit = 0; bit < kBits; ++bit) {
    const bool one = (number >> bit) & 1;
    cv::rectangle(frame, block(bit, 0), one ? cv::Scalar::all(255) : cv::Scalar::all(0), -1);
    cv::rectangle(frame, block(bit, 1), one ? cv::Scalar::all(0) : cv::Scalar::all(255), -1);
  }
  return frame;
}

// The number in a BGRA picture, or -1 when the code is unreadable.
inline int read(const cv::Mat& bgra) {
  if (bgra.empty() || bgra.size() != kSize || bgra.type() != CV_8UC4) return -1;
  int number = 0;
  for (int bit = 0; bit < kBits; ++bit) {
    auto bright = [&](int row) {
      const cv::Rect r = block(bit, row);
      const cv::Scalar mean =
          cv::mean(bgra(cv::Rect(r.x + 5, r.y + 10, r.width - 10, r.height - 20)));
      return (mean[0] + mean[1] + mean[2]) / 3 > 128;
    };
    const bool one = bright(0);
    if (one == bright(1)) return -1;
    if (one) number |= 1 << bit;
  }
  return number;
}

// A digest of the pixels, to see that two ways of reaching a picture give the same one.
inline uint64_t digest(const cv::Mat& image) {
  uint64_t hash = 1469598103934665603ull;
  for (int y = 0; y < image.rows; ++y) {
    const uint8_t* row = image.ptr<uint8_t>(y);
    for (size_t x = 0; x < image.cols * image.elemSize(); ++x)
      hash = (hash ^ row[x]) * 1099511628211ull;
  }
  return hash;
}

inline bool writeNumberedClip(const std::string& path, ClipOptions options, int frames,
                              std::string* error) {
  options.width = kSize.width;
  options.height = kSize.height;
  return writeClip(
      path, options, frames, [](int i) { return draw(i); }, error);
}

}  // namespace frame_code
