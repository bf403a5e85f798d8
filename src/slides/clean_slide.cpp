#include "slides/clean_slide.h"

#include <algorithm>

#include <opencv2/imgproc.hpp>

namespace slidetrack {

namespace {

// Work pixels a speaker standing through a slide change may have moved by meanwhile.
constexpr int kNear = 15;

}  // namespace

void CleanSlide::start(const cv::Mat& screenBgr, const cv::Mat& work, const cv::Mat& unseenWork) {
  speaker_.next(work, true);
  screenBgr.copyTo(picture_);
  // Whoever stood in front of the last slide and is still about there hides this one; a
  // shape of the new slide the body found now may have joined, further off, is no part of
  // him.
  cv::dilate(speaker_.stayed(), unseen_,
             cv::getStructuringElement(cv::MORPH_RECT, cv::Size(2 * kNear + 1, 2 * kNear + 1)));
  cv::bitwise_and(unseen_, speaker_.body(), unseen_);
  cv::bitwise_or(unseen_, unseenWork, unseen_);
}

void CleanSlide::update(const cv::Mat& screenBgr, const cv::Mat& work, const cv::Mat& seenWork) {
  speaker_.next(work, false);
  // The decision's reference may hold whoever stood there since before the slide; what
  // moves between two looks is no settled slide either.
  cv::bitwise_and(seenWork, speaker_.stillSlide(), taken_);
  cv::resize(taken_, seen_, screenBgr.size(), 0, 0, cv::INTER_NEAREST);
  screenBgr.copyTo(picture_, seen_);
  unseen_.setTo(0, taken_);
}

const cv::Mat& CleanSlide::picture() {
  if (picture_.empty() || unseen_.empty() || cv::countNonZero(unseen_) == 0) return picture_;
  cv::Mat unseen, grey, plain;
  cv::resize(unseen_, unseen, picture_.size(), 0, 0, cv::INTER_NEAREST);
  // The background: the most common grey among the seen pixels, in their mean colour.
  cv::cvtColor(picture_, grey, cv::COLOR_BGR2GRAY);
  int histogram[256] = {0};
  for (int y = 0; y < grey.rows; ++y) {
    const unsigned char* g = grey.ptr<unsigned char>(y);
    const unsigned char* u = unseen.ptr<unsigned char>(y);
    for (int x = 0; x < grey.cols; ++x)
      if (!u[x]) ++histogram[g[x]];
  }
  const int background = int(std::max_element(histogram, histogram + 256) - histogram);
  cv::inRange(grey, background - 8, background + 8, plain);
  plain.setTo(0, unseen);
  picture_.copyTo(shown_);
  shown_.setTo(cv::mean(picture_, plain), unseen);
  return shown_;
}

}  // namespace slidetrack
