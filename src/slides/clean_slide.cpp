#include "slides/clean_slide.h"

#include <opencv2/imgproc.hpp>

namespace slidetrack {

void CleanSlide::start(const cv::Mat& screenBgr) { screenBgr.copyTo(picture_); }

void CleanSlide::update(const cv::Mat& screenBgr, const cv::Mat& seenWork) {
  if (picture_.size() != screenBgr.size()) return start(screenBgr);
  cv::resize(seenWork, seen_, screenBgr.size(), 0, 0, cv::INTER_NEAREST);
  screenBgr.copyTo(picture_, seen_);
}

}  // namespace slidetrack
