#pragma once
// What the sample frames of a search show together: the still picture of the room and
// where the picture changes between samples.

#include <vector>

#include <opencv2/core.hpp>

namespace slidetrack {

struct ScreenCues {
  cv::Mat still;   // per-pixel median of the samples: a walking speaker and noise vanish
  cv::Mat change;  // per-pixel largest step of a sample beyond the median's 3x3 range
  // The samples and each one's step beyond that range: what a speaker standing still for
  // most samples hides in the median, some samples show.
  std::vector<cv::Mat> samples, changes;
};

// Samples are grey 8-bit pictures of one size; at least one.
ScreenCues screenCuesOf(const std::vector<cv::Mat>& samples);
// The per-pixel median of the samples alone.
cv::Mat screenStillOf(const std::vector<cv::Mat>& samples);

// The smaller copies of the samples, at most maxWidth wide; the scale applied.
std::vector<cv::Mat> screenCuesShrink(const std::vector<cv::Mat>& samples, int maxWidth,
                                      double* scale);

}  // namespace slidetrack
