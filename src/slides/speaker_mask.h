#pragma once
// What a person in front of the screen covers: regions that differ from the slide and
// reach into the screen from its left, right or bottom edge, as a body standing in front
// of it does. Text and figures of a slide keep a margin and stay apart.

#include <opencv2/core.hpp>

namespace slidetrack {

// suspect: 8-bit map, 255 where the pixel may show something in front of the slide.
// covered (same size) gets 255 on every suspect region that is large enough and touches
// the left, right or bottom edge, or that overlaps previous (the last frame's mask, may be
// empty): a hand whose arm matches the slide in colour is still the speaker's. The mask is
// widened by a few pixels for the blurred outline.
void speakerMask(const cv::Mat& suspect, const cv::Mat& previous, cv::Mat& covered);

}  // namespace slidetrack
