#include "slides/clean_slide.h"

#include <opencv2/imgproc.hpp>

#include "slides/hole_fill.h"

namespace slidetrack {

void CleanSlide::start(const cv::Mat& screenBgr, const cv::Mat& work, const cv::Mat& unseenWork) {
  speaker_.next(work, true, screenBgr);
  screenBgr.copyTo(picture_);
  // Whoever stands in front now hides part of the new slide: nothing is taken as the slide
  // where the body is found in this first look.
  speaker_.body().copyTo(unseen_);
  cv::bitwise_or(unseen_, unseenWork, unseen_);
}

void CleanSlide::update(const cv::Mat& screenBgr, const cv::Mat& work, const cv::Mat& changedWork) {
  speaker_.next(work, false, screenBgr);
  // New content waiting for its second look is no part of this slide; the speaker is the
  // track's to find, not the decision's masks, which hold on to much of the slide around
  // him at times.
  cv::bitwise_not(changedWork, taken_);
  cv::bitwise_and(taken_, speaker_.stillSlide(), taken_);
  cv::resize(taken_, seen_, screenBgr.size(), 0, 0, cv::INTER_NEAREST);
  screenBgr.copyTo(picture_, seen_);
  unseen_.setTo(0, taken_);
}

const cv::Mat& CleanSlide::picture() {
  if (picture_.empty() || unseen_.empty() || cv::countNonZero(unseen_) == 0) return picture_;
  cv::Mat unseen;
  cv::resize(unseen_, unseen, picture_.size(), 0, 0, cv::INTER_NEAREST);
  picture_.copyTo(shown_);
  fillFromSurround(shown_, unseen);
  return shown_;
}

}  // namespace slidetrack
