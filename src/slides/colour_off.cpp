#include "slides/colour_off.h"

#include <algorithm>
#include <cstdlib>

#include <opencv2/imgproc.hpp>

#include "slides/speaker_body.h"

namespace slidetrack {

namespace {

// Pixels within this many grey levels of the background tell its colour; vignetting spreads
// it over tens of levels.
constexpr int kBackgroundSpread = 12;
// Only in the screen's upper part: a shirt of the background's grey, rising from the bottom
// edge, may outnumber the background's own pixels at its grey.
constexpr double kUpperShare = 0.35;
// Blue against red and green against both, in levels beyond the background's. Codec noise
// on a plain slide is a level or two at work size; a beige shirt on a white slide is 15-20
// levels warmer, and vignetting or a projector's cast shifts the background by a few.
constexpr int kOffColour = 12;
// Fewer background pixels than this share of the screen tell too little.
constexpr double kMinBackgroundShare = 0.05;

// The median of a histogram of values offset by 255.
int median(const int* histogram, int count) {
  int seen = 0;
  for (int v = 0; v < 511; ++v)
    if ((seen += histogram[v]) * 2 >= count) return v - 255;
  return 0;
}

}  // namespace

void colourOffBackground(const cv::Mat& colour, const cv::Mat& work, int background, cv::Mat& off,
                         const cv::Mat& exclude, bool upperGrey) {
  off = cv::Mat::zeros(work.size(), CV_8UC1);
  if (colour.size() != work.size() || colour.type() != CV_8UC3) return;
  thread_local cv::Mat blueRed, greenRest;
  blueRed.create(work.size(), CV_16SC1);
  greenRest.create(work.size(), CV_16SC1);
  // The background's colour is the median over pixels of its grey above where his
  // shoulders reach: his head is far from it in grey.
  int blueRedCount[511] = {0}, greenCount[511] = {0}, upperGreys[256] = {0};
  int n = 0;
  const int upper = int(kUpperShare * work.rows);
  const bool excluding = exclude.size() == work.size();
  for (int y = 0; y < work.rows; ++y) {
    const cv::Vec3b* p = colour.ptr<cv::Vec3b>(y);
    const unsigned char* w = work.ptr<unsigned char>(y);
    const unsigned char* e = excluding ? exclude.ptr<unsigned char>(y) : nullptr;
    short* a = blueRed.ptr<short>(y);
    short* b = greenRest.ptr<short>(y);
    for (int x = 0; x < work.cols; ++x) {
      a[x] = short(p[x][0] - p[x][2]);
      b[x] = short(p[x][1] - (p[x][0] + p[x][2]) / 2);
      if (y > upper || (e && e[x])) continue;
      ++upperGreys[w[x]];
      if (std::abs(w[x] - background) > kBackgroundSpread) continue;
      ++blueRedCount[a[x] + 255];
      ++greenCount[b[x] + 255];
      ++n;
    }
  }
  // Light falling off towards the top may leave few pixels there near the whole slide's
  // grey: the upper part's own background grey tells the colour then.
  if (upperGrey && n < kMinBackgroundShare * double(work.total())) {
    const int grey = backgroundGrey(upperGreys, kBackgroundSpread);
    std::fill(blueRedCount, blueRedCount + 511, 0);
    std::fill(greenCount, greenCount + 511, 0);
    n = 0;
    for (int y = 0; y <= upper; ++y) {
      const unsigned char* w = work.ptr<unsigned char>(y);
      const unsigned char* e = excluding ? exclude.ptr<unsigned char>(y) : nullptr;
      const short* a = blueRed.ptr<short>(y);
      const short* b = greenRest.ptr<short>(y);
      for (int x = 0; x < work.cols; ++x) {
        if (std::abs(w[x] - grey) > kBackgroundSpread || (e && e[x])) continue;
        ++blueRedCount[a[x] + 255];
        ++greenCount[b[x] + 255];
        ++n;
      }
    }
  }
  if (n < kMinBackgroundShare * double(work.total())) return;  // a dark or busy slide
  const int a0 = median(blueRedCount, n), b0 = median(greenCount, n);
  for (int y = 0; y < work.rows; ++y) {
    const short* a = blueRed.ptr<short>(y);
    const short* b = greenRest.ptr<short>(y);
    unsigned char* o = off.ptr<unsigned char>(y);
    for (int x = 0; x < work.cols; ++x)
      o[x] = std::abs(a[x] - a0) > kOffColour || std::abs(b[x] - b0) > kOffColour ? 255 : 0;
  }
}

}  // namespace slidetrack
