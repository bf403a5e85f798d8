#pragma once
// What the change decision still holds back where the speaker has not been found since the
// slide appeared: its reference has not yet come back from someone who stood there before
// the slide, though he left long ago. The picture need not wait for it where the screen,
// holding still, shows print, or what the slide seen around it would fill in there anyway;
// a shirt the speaker track missed, standing still, is neither.

#include <opencv2/core.hpp>

namespace slidetrack {

// colour: the screen now, 8-bit BGR at the work size; expected: the picture filled from what
// it has seen around, same size and type; candidates: 8-bit, 255 where the decision holds
// back a still pixel away from the speaker; fine: 8-bit, 255 where the screen is
// fine-grained now (print, a figure). shown gets, of candidate regions that mostly show the
// slide so, the pixels that do.
void heldBackSlide(const cv::Mat& colour, const cv::Mat& expected, const cv::Mat& candidates,
                   const cv::Mat& fine, cv::Mat& shown);

}  // namespace slidetrack
