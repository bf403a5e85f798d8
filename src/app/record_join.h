#pragma once
// Two records in a row that the matcher is sure show the same original are one slide: nothing
// changed on the screen between them, whatever the change decision saw (a speaker lowering
// an arm uncovers a title the slide's first look missed).

#include <opencv2/core.hpp>

#include "app/matching_stage.h"
#include "results/slide_list.h"

namespace slidetrack {

// earlier ended just before later began. Each interval's whole evidence must have decided
// its record's match, the same original, by margin (overruling a reported change takes the
// evidence that leaving the deck's order does), and later's must be the original expected when
// it began (not one reached by a jump): a match the picture check or a withdrawal took back,
// or one the record kept only from its frames, joins nothing.
bool recordsShowOneSlide(const SlideRecord& earlier, const EndedMatch& earlierEnd,
                         const SlideRecord& later, const EndedMatch& laterEnd, double margin);

// The same where only the picture check kept later's interval from deciding earlier's original:
// its evidence decided that original by margin, as the one expected, and its frames named no
// other (whether they kept it depends on when the check first refused). Their pictures must
// then tell (matchJoinRefused).
bool recordsShowOneSlideUnlessPictures(const SlideRecord& earlier, const EndedMatch& earlierEnd,
                                       const SlideRecord& later, const EndedMatch& laterEnd,
                                       double margin);

// A record between the two, unmatched and at most maxFrames frames long, whose frames leaned to
// that same original, was the speaker passing in front: the change decision saw him come and
// go, and all three records are one slide.
bool recordsAroundShowOneSlide(const SlideRecord& earlier, const EndedMatch& earlierEnd,
                               const SlideRecord& between, const EndedMatch& betweenEnd,
                               const SlideRecord& later, const EndedMatch& laterEnd, double margin,
                               int maxFrames);

// How far a slide picture (BGR at the screen image's size) is from the original's features:
// the smaller, the more of the slide it shows and the less of anything in front of it.
double pictureDistanceFromOriginal(MatchingStage& stage, const cv::Mat& picture,
                                   const SlideRecord& original);

}  // namespace slidetrack
