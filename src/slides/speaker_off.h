#pragma once
// A matched slide's picture without the speaker who stood in front of it all the time it was
// up, so that no frame showed what he hid: where the picture differs from the slide's
// original in large solid regions (his body, a smear of him) the fitted original is taken.
// Thin strokes the original lacks (a pen's ink, a pointer) stay, and so does everything when
// the original does not explain the picture around those regions.

#include <opencv2/core.hpp>

namespace slidetrack {

// picture: 8-bit BGR; original: 8-bit BGR, any size. False, picture unchanged, when no region
// is replaced: none differs, or the original is not the slide shown.
bool speakerOffFromOriginal(cv::Mat& picture, const cv::Mat& original);

}  // namespace slidetrack
