#include "slides/joined_picture.h"

#include <vector>

#include <opencv2/imgproc.hpp>

#include "slides/original_fitted.h"

namespace slidetrack {

namespace {

// Levels, in the channel that differs most, beyond which the two pictures differ.
constexpr int kDiffers = 30;
// Pixels by which a place that differs grows to take the blurred outline of what made it.
constexpr int kOutline = 3;
// Side of the window over which each picture's distance from the original is summed: a pixel
// alone matches it by chance.
constexpr int kWindow = 7;
// Levels per pixel and channel by which the other picture must be nearer to be taken.
constexpr float kNearer = 4.f;

// Per pixel, the largest channel difference.
cv::Mat channelMax(const cv::Mat& a, const cv::Mat& b) {
  cv::Mat diff;
  cv::absdiff(a, b, diff);
  std::vector<cv::Mat> c;
  cv::split(diff, c);
  return cv::max(cv::max(c[0], c[1]), c[2]);
}

// Per pixel, the sum of the channel differences over the window, per channel and pixel.
cv::Mat distanceOver(const cv::Mat& a, const cv::Mat& b) {
  cv::Mat diff, sum;
  cv::absdiff(a, b, diff);
  diff.convertTo(diff, CV_32FC3);
  cv::transform(diff, sum, cv::Matx13f(1.f / 3, 1.f / 3, 1.f / 3));
  cv::blur(sum, sum, {kWindow, kWindow});
  return sum;
}

}  // namespace

bool joinFromOriginal(cv::Mat& kept, const cv::Mat& other, const cv::Mat& original) {
  if (kept.empty() || other.size() != kept.size() || original.empty()) return false;
  cv::Mat differs = channelMax(kept, other) > kDiffers;
  if (cv::countNonZero(differs) == 0) return false;
  cv::dilate(differs, differs,
             cv::getStructuringElement(cv::MORPH_ELLIPSE, {2 * kOutline + 1, 2 * kOutline + 1}));
  // The colours are fitted where both show the same, and the original must explain it there.
  const cv::Mat agree = differs == 0;
  const cv::Rect all({0, 0}, kept.size());
  const cv::Mat fitted = fittedOriginal(kept, original, agree, all);
  if (!originalExplains(kept, fitted, agree, all)) return false;
  const cv::Mat keptOff = distanceOver(kept, fitted), otherOff = distanceOver(other, fitted);
  cv::Mat take = otherOff + kNearer < keptOff;
  cv::bitwise_and(take, differs, take);
  if (cv::countNonZero(take) == 0) return false;
  other.copyTo(kept, take);
  return true;
}

}  // namespace slidetrack
