#pragma once
// New lines of text beside the speaker: a build that touches him joins his mask, which
// would otherwise hold it for as long as he stands there.

#include <opencv2/core.hpp>

namespace slidetrack {

// work, ref: grey work images of this frame and of the slide's reference. changed: 255 where
// work differs from the slide; moving: 255 where it differs from the last frame. unknown
// (may be empty): where the reference never saw the slide or took it unchecked. background:
// the slide's background grey. text (work size) gets 255 on every short, wide run of sharp,
// still pieces that work has and ref lacks, away from unknown and where ref shows the
// background: a line of characters, which an arm or a shoulder held still does not make.
void newTextLines(const cv::Mat& work, const cv::Mat& ref, const cv::Mat& changed,
                  const cv::Mat& moving, const cv::Mat& unknown, int background, cv::Mat& text);

}  // namespace slidetrack
