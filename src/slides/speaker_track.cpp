#include "slides/speaker_track.h"

#include <algorithm>

#include <opencv2/imgproc.hpp>

#include "slides/even_light.h"
#include "slides/shift_diff.h"
#include "slides/speaker_body.h"

namespace slidetrack {

namespace {

// Grey levels a pixel must change by between processed frames to count as motion, beyond
// a one-pixel shift.
constexpr int kMotionThresh = 24;
// When more than this share of the image changes at once, the light or the slide changed.
constexpr double kGlobalShare = 0.5;
// Work pixels along the screen's edges left out.
constexpr int kRim = 3;
constexpr int kBackgroundSpread = 6;
// Clothing and skin differ from the background by this much at least, as for speakerBody.
constexpr int kOffBackground = 25;

// The slide's background grey: the most common grey, give or take a few levels for uneven
// light, in the screen's upper half apart from where he stood. A speaker in plain clothes
// covering a third of the screen would otherwise be the most common grey himself.
int slideBackground(const cv::Mat& work, const cv::Mat& body) {
  int histogram[256] = {0};
  for (int y = 0; y < work.rows / 2; ++y) {
    const unsigned char* w = work.ptr<unsigned char>(y);
    const unsigned char* b = body.ptr<unsigned char>(y);
    for (int x = 0; x < work.cols; ++x)
      if (!b[x]) ++histogram[w[x]];
  }
  return backgroundGrey(histogram, kBackgroundSpread);
}

}  // namespace

void SpeakerTrack::next(const cv::Mat& work, bool newSlide) {
  if (previous_.size() != work.size()) {
    previous_ = work.clone();
    stillAge_ = cv::Mat(work.size(), CV_8UC1, cv::Scalar(255));
    body_ = cv::Mat::zeros(work.size(), CV_8UC1);
    moving_ = cv::Mat(work.size(), CV_8UC1, cv::Scalar(255));
  }
  cv::swap(moving_, movedBefore_);
  shiftTolerantChange(work, previous_, kMotionThresh, moving_);
  // Where he stood and nothing changed, he still stands, though the body be missed now (an
  // arm held out makes him too wide for it); a new slide changes all round him.
  cv::bitwise_not(moving_, kept_);
  cv::bitwise_and(kept_, body_, kept_);
  if (newSlide) moving_.setTo(255);
  cv::add(stillAge_, 1, stillAge_);  // saturates at 255
  if (!newSlide && cv::countNonZero(moving_) < kGlobalShare * double(moving_.total()))
    stillAge_.setTo(0, moving_);
  work.copyTo(previous_);
  // Anything that moved since the age saturated, or where he stood the image before.
  cv::compare(stillAge_, 255, live_, cv::CMP_LT);
  cv::bitwise_or(live_, body_, live_);
  const int background = slideBackground(work, body_);
  evenLight(work, background, body_, clear_);
  // The screen's frame shows along the rim of a warp a little off the corners; joined to
  // his legs it would make him as wide as the screen.
  if (clear_.rows > 2 * kRim && clear_.cols > 2 * kRim) {
    clear_.rowRange(0, kRim).setTo(background);
    clear_.rowRange(clear_.rows - kRim, clear_.rows).setTo(background);
    clear_.colRange(0, kRim).setTo(background);
    clear_.colRange(clear_.cols - kRim, clear_.cols).setTo(background);
  }
  // A body must touch something live.
  if (cv::countNonZero(live_) > 0)
    speakerBody(clear_, background, live_, body_);
  else
    body_.setTo(0);
  // Only what differs from the slide's background is kept: the outline around him where he
  // no longer stands is slide.
  cv::absdiff(clear_, background, even_);
  cv::compare(even_, kOffBackground, even_, cv::CMP_GT);
  cv::bitwise_and(kept_, even_, kept_);
  cv::bitwise_or(body_, kept_, body_);
  cv::bitwise_or(moving_, movedBefore_, still_);
  cv::bitwise_or(still_, body_, still_);
  cv::bitwise_not(still_, still_);
}

}  // namespace slidetrack
