#pragma once
// The picture of the current slide without the speaker: every screen pixel keeps the last
// value it had while nothing stood in front of it.

#include <opencv2/core.hpp>

namespace slidetrack {

class CleanSlide {
 public:
  // Starts a new slide from this screen image (what is covered in it is filled in later).
  void start(const cv::Mat& screenBgr);
  // Takes the screen's pixels where seen (work-size 8-bit map, 255 = the slide is visible
  // there and agrees with it).
  void update(const cv::Mat& screenBgr, const cv::Mat& seenWork);
  const cv::Mat& picture() const { return picture_; }

 private:
  cv::Mat picture_;
  cv::Mat seen_;  // the work map brought to the screen size
};

}  // namespace slidetrack
