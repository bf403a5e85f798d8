#pragma once
// Someone who stands still in front of the screen looks like the slide to a comparison of
// frames: the reference must not take him in, or the slide he uncovers on leaving differs
// from it as new content would.

#include <opencv2/core.hpp>

#include "slides/speaker_either.h"

namespace slidetrack {

// At a slide change: a body in the new image (in grey or by its colour) where it did not
// change from the old slide's last image, so someone who stood through the change. differs:
// where the two images differ; covered: left out when telling the background's colour.
void standingThrough(const ScreenLook& now, int background, int commonGrey, const cv::Mat& differs,
                     const cv::Mat& covered, bool upperGrey, cv::Mat& body);

// A bar of the slide's (a title bar, a box's header) that runs on beside the mask into it is
// the slide's, not his: each run of mask (8-bit, grey's size) along a row loses what continues
// at either end a bar that runs on beyond it, off the background (commonGrey). His head or
// shirt against the bar differs from it, and stays.
void trimBarsRunningOn(const cv::Mat& grey, int commonGrey, cv::Mat& mask);

}  // namespace slidetrack
