#pragma once
// What the speaker hid all the time a slide was up, taken from the slide's original
// rather than invented from the pixels around it. The original is brought to the picture:
// stretched to its size (the screen's corners are the projected image's), shifted by the
// few pixels the corners may be off, and its colours fitted channel by channel to what the
// camera showed of the slide near the hole. Seen pixels are never changed: an original may
// lack what was written on the slide shown.

#include <opencv2/core.hpp>

namespace slidetrack {

// picture: 8-bit BGR, its never-seen pixels already filled from their surround; unseen:
// 8-bit, any size (brought to the picture's by nearest neighbour), 255 = never seen;
// original: 8-bit BGR, any size. The unseen pixels take the fitted original, blended into
// the surround fill over a few pixels at the hole's edge. False, picture unchanged, when
// there is nothing to fill or the original does not explain the seen slide around the hole
// (another slide than the one shown, or too little seen to fit it).
bool fillFromOriginal(cv::Mat& picture, const cv::Mat& unseen, const cv::Mat& original);

}  // namespace slidetrack
