#include "slides/front_gone.h"

#include <vector>

#include <opencv2/imgproc.hpp>

#include "slides/colour_off.h"
#include "slides/plain_pixels.h"

namespace slidetrack {

namespace {

// Clothing and skin differ from the background by this much in grey, or by their colour,
// and vary less than text does over a few pixels.
constexpr int kOffBackground = 25;
constexpr double kPlainDeviation = 8.0;
// Smaller regions are a letter's blob or noise.
constexpr int kMinPixels = 30;
// Work pixels of the blurred outline.
constexpr int kOutline = 2;
// Levels in a channel by which a colour differs: a beige sleeve on a white slide is near it
// in grey.
constexpr int kColourChange = 30;
// Work pixels from where he is now within which what he held in front may have been.
constexpr int kNear = 16;
// 255 where a look is plain and off the background in grey or colour.
cv::Mat solidOff(const ScreenLook& look, int background, int commonGrey, const cv::Mat& covered) {
  cv::Mat plain, off, tint;
  plainPixels(look.grey, kPlainDeviation, plain);
  cv::inRange(look.grey, cv::Scalar(background - kOffBackground),
              cv::Scalar(background + kOffBackground), off);
  cv::bitwise_not(off, off);
  colourOffBackground(look.colour, look.grey, commonGrey, tint, covered, true);
  cv::bitwise_or(off, tint, off);
  cv::bitwise_and(off, plain, off);
  return off;
}

}  // namespace

void frontGone(const ScreenLook& now, const ScreenLook& ref, int background, int commonGrey,
               const cv::Mat& changed, const cv::Mat& covered, const cv::Mat& his, cv::Mat& gone) {
  gone = cv::Mat::zeros(changed.size(), CV_8UC1);
  // Judged part by part: a sleeve gone from the slide may hang on a trunk still there.
  cv::Mat left = solidOff(ref, background, commonGrey, covered), differ;
  cv::absdiff(now.colour, ref.colour, differ);
  std::vector<cv::Mat> channels;
  cv::split(differ, channels);
  differ = cv::max(cv::max(channels[0], channels[1]), channels[2]) > kColourChange;
  cv::bitwise_or(differ, changed, differ);
  cv::bitwise_and(left, differ, left);
  const cv::Mat solidNow = solidOff(now, background, commonGrey, covered);
  left.setTo(0, solidNow);
  cv::Mat labels, stats, centroids, near;
  const int n = cv::connectedComponentsWithStats(left, labels, stats, centroids, 8, CV_32S);
  if (n <= 1) return;
  cv::dilate(his, near, cv::getStructuringElement(cv::MORPH_RECT, {2 * kNear + 1, 2 * kNear + 1}));
  std::vector<unsigned char> touches(size_t(n), 0);
  for (int y = 0; y < labels.rows; ++y) {
    const int* l = labels.ptr<int>(y);
    const unsigned char* h = near.ptr<unsigned char>(y);
    for (int x = 0; x < labels.cols; ++x)
      if (l[x] && h[x]) touches[size_t(l[x])] = 1;
  }
  std::vector<unsigned char> keep(size_t(n), 0);
  for (int k = 1; k < n; ++k) {
    const int area = stats.at<int>(k, cv::CC_STAT_AREA);
    keep[size_t(k)] = touches[size_t(k)] && area >= kMinPixels;
  }
  for (int y = 0; y < labels.rows; ++y) {
    const int* l = labels.ptr<int>(y);
    unsigned char* g = gone.ptr<unsigned char>(y);
    for (int x = 0; x < labels.cols; ++x) g[x] = keep[size_t(l[x])] ? 255 : 0;
  }
  cv::dilate(gone, gone, cv::Mat(), {-1, -1}, kOutline);
}

}  // namespace slidetrack
