#pragma once
// Text that a build adds beside a speaker: its glyphs touch his outline and would join his
// mask, so the decision would never see them. Changes shaped like a slide's text lines,
// where the reference showed plain slide background, not in a pen's colour and apart from
// anything plain and unlike the background (his clothes, skin and hair), are the slide's.

#include <opencv2/core.hpp>

#include "slides/speaker_either.h"

namespace slidetrack {

// now: the screen image at work size; ref: the reference's grey; changed: where now differs
// from it; commonGrey: the slide's most common grey. text (work size): 255 on such glyphs.
void appearedText(const ScreenLook& now, const cv::Mat& ref, const cv::Mat& changed, int commonGrey,
                  cv::Mat& text);

}  // namespace slidetrack
