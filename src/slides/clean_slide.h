#pragma once
// The picture of the current slide without the speaker: every screen pixel keeps the last
// value it had while nothing stood in front of it. Pixels never seen since the slide
// appeared show the slide's background colour rather than whoever stood there.

#include <opencv2/core.hpp>

namespace slidetrack {

class CleanSlide {
 public:
  // Starts a new slide from this screen image; unseenWork (work size, 255 = covered) marks
  // what is not yet the slide.
  void start(const cv::Mat& screenBgr, const cv::Mat& unseenWork);
  // Takes the screen's pixels where seen (work-size 8-bit map, 255 = the slide is visible
  // there and agrees with it).
  void update(const cv::Mat& screenBgr, const cv::Mat& seenWork);
  // The picture, never-seen pixels in the background colour of the seen ones.
  const cv::Mat& picture();

 private:
  cv::Mat picture_, shown_;
  cv::Mat unseen_;  // work size, 255 where nothing of the slide has been seen
  cv::Mat seen_;    // the work map brought to the screen size
};

}  // namespace slidetrack
