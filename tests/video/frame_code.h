#pragma once
// Test pictures that carry their own number as a bar code of black and white blocks,
// readable back from a decoded BGRA image despite compression.

#include <cmath>
#include <functional>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "clip_writer.h"

namespace frame_code {

constexpr int kBits = 12;
const cv::Size kSize(320, 240);
const cv::Rect kRed(290, 20, 30, 40), kBlue(290, 70, 30, 40);  // to check the channel order

inline cv::Rect block(int bit, int row) { return cv::Rect(40 + bit * 20, 20 + row * 50, 20, 40); }

// Picture `number`: the code on top (row 0 the bits, row 1 their complement), and a moving
// textured scene below so the encoder has real motion to predict.
inline cv::Mat draw(int number) {
  cv::Mat frame(kSize, CV_8UC3, cv::Scalar(90, 110, 100));
  for (int y = 130; y < kSize.height; y += 8)
    cv::line(frame, {0, y}, {kSize.width, y + 20}, cv::Scalar(60, 150, 80), 2);
  cv::circle(frame, {(number * 7) % kSize.width, 180}, 25, cv::Scalar(230, 230, 240), -1);
  frame(kRed).setTo(cv::Scalar(0, 0, 255));
  frame(kBlue).setTo(cv::Scalar(255, 0, 0));
  for (int bit = 0; bit < kBits; ++bit) {
    const cv::Scalar one = cv::Scalar::all((number >> bit) & 1 ? 255 : 0);
    cv::rectangle(frame, block(bit, 0), one, -1);
    cv::rectangle(frame, block(bit, 1), cv::Scalar::all(255) - one, -1);
  }
  return frame;
}

// The number in a BGRA picture, or -1 when the code is unreadable. Green is channel 1
// in either channel order.
inline int read(const cv::Mat& bgra) {
  if (bgra.size() != kSize || bgra.type() != CV_8UC4) return -1;
  int number = 0;
  for (int bit = 0; bit < kBits; ++bit) {
    auto green = [&](int row) {
      return cv::mean(bgra(block(bit, row) + cv::Point(5, 10) - cv::Size(10, 20)))[1];
    };
    if (std::abs(green(0) - green(1)) < 100) return -1;
    if (green(0) > green(1)) number |= 1 << bit;
  }
  return number;
}

// A digest of the pixels, to see that two ways of reaching a picture give the same one.
inline size_t digest(const cv::Mat& image) {
  const cv::Mat whole = image.isContinuous() ? image : image.clone();
  return std::hash<std::string_view>()(std::string_view(reinterpret_cast<const char*>(whole.data),
                                                        whole.total() * whole.elemSize()));
}

inline bool writeNumberedClip(const std::string& path, ClipOptions options, int frames) {
  options.width = kSize.width;
  options.height = kSize.height;
  std::string error;
  const bool written = writeClip(path, options, frames, draw, &error);
  EXPECT_TRUE(written) << error;
  return written;
}

}  // namespace frame_code
