#pragma once
// Picture comparisons and random pictures shared by the tests.

#include <opencv2/core.hpp>

// Equal size, type and every pixel.
inline bool sameImage(const cv::Mat& a, const cv::Mat& b) {
  return a.size() == b.size() && a.type() == b.type() &&
         (a.empty() || cv::norm(a, b, cv::NORM_INF) == 0);
}

// Uniform noise over the full 8-bit range, repeatable by its seed.
inline cv::Mat noiseImage(cv::Size size, int seed, int type = CV_8UC1) {
  cv::Mat image(size, type);
  cv::RNG(seed).fill(image, cv::RNG::UNIFORM, 0, 256);
  return image;
}
