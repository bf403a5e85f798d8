#pragma once
// Where a speaker stands in the screen image or in the slide reference, each looked at
// alone, in grey and in colour: the change decision's last look at a candidate, whose
// changes there are his (an arm lowered uncovers text the reference had him hide).

#include <opencv2/core.hpp>

namespace slidetrack {

// An image of the screen at work size: grey (screenWorkImage) and colour (BGR).
struct ScreenLook {
  cv::Mat grey, colour;
};

// background: the slide's background grey for a body; commonGrey: its most common grey, for
// its colour; live: where something moved or changed, which a body must touch; covered:
// where the decision's person mask lies, left out when evening the light. hidden (work
// size): 255 on a body found in either look, with the blur of his outline. upperGrey: as for
// colourOffBackground.
void speakerInEither(const ScreenLook& now, const ScreenLook& ref, int background, int commonGrey,
                     const cv::Mat& live, const cv::Mat& covered, cv::Mat& hidden,
                     bool upperGrey = false);

// The same for one look alone: speakerInEither's hidden is the union of both looks' hidden.
void speakerInLook(const ScreenLook& look, int background, int commonGrey, const cv::Mat& live,
                   const cv::Mat& covered, cv::Mat& hidden, bool upperGrey = false);

}  // namespace slidetrack
