#pragma once
// Parts of a slide that its first look took from someone standing in front, shown later
// by the screen itself: a region, never taken since the slide appeared, that now holds
// still as the slide's plain background although the first look had something else there.
// An arm lowered, a speaker stepped aside: the change decision's reference may hold him
// there still (it took the first look), so its map alone never lets the picture have it.

#include <opencv2/core.hpp>

namespace slidetrack {

// colour, firstColour: the screen now and at the slide's first look, 8-bit BGR at the work
// size; candidates: 8-bit, 255 where the pixel was never taken into the picture since the
// slide appeared, held still over the last two looks outside the speaker, and changed since
// the first look; firstFine: 8-bit, 255 where the first look was fine-grained (print, a
// figure), which such a region must mostly not be; taken: what the picture takes now anyway,
// which tells the slide's background colour; his: 8-bit, where he is known to have been
// since, which such a region must touch (what changes away from him is the slide's own).
// uncovered gets the pixels on that colour now of the candidate regions that lie mostly on
// it now while their first look did not.
void uncoveredSlide(const cv::Mat& colour, const cv::Mat& firstColour, const cv::Mat& candidates,
                    const cv::Mat& firstFine, const cv::Mat& taken, const cv::Mat& his,
                    cv::Mat& uncovered);

}  // namespace slidetrack
