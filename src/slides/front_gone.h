#pragma once
// Something that stood in front of the slide as the reference took it (a hand or sleeve, in
// with the slide as it appeared) and has since gone: its place shows the slide there, which
// differs from the reference without being new content.

#include <opencv2/core.hpp>

#include "slides/speaker_either.h"

namespace slidetrack {

// now, ref: the screen image and the reference at work size. background: the slide's
// background grey; commonGrey: its most common grey, for its colour. changed: where now differs
// from the reference. covered: the person mask, left out when telling the background's colour.
// his: where he is found now. gone (work size): 255 where the reference is plain and off the
// background and now differs (in grey or colour) without being so, in pieces large enough for a
// hand and within a cell of his, with their outline.
void frontGone(const ScreenLook& now, const ScreenLook& ref, int background, int commonGrey,
               const cv::Mat& changed, const cv::Mat& covered, const cv::Mat& his, cv::Mat& gone);

}  // namespace slidetrack
