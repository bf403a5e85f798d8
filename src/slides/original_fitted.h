#pragma once
// A slide's original brought to the camera's picture of it, and whether it explains what the
// camera saw: stretched to the picture's size (the screen's corners are the projected
// image's), shifted by the few pixels the corners may be off, its colours fitted channel by
// channel.

#include <opencv2/core.hpp>

namespace slidetrack {

// picture, original: 8-bit BGR, original any size; band: 8-bit, the picture's size, the
// pixels the fit reads (at least a few hundred); box: where the result is wanted. The
// original over box, lined up with the picture and its colours fitted to it over band, both
// blurred alike so that a sharp original does not fit the camera's blurred text too flat.
cv::Mat fittedOriginal(const cv::Mat& picture, const cv::Mat& original, const cv::Mat& band,
                       const cv::Rect& box);

// Whether fill (fittedOriginal over box) explains picture over band(box): 80 % of it within
// 30 grey levels, give or take a pixel, and half of what shows on the slide's background at
// the scale of a line of text (another slide that differs from it in a few lines does not).
bool originalExplains(const cv::Mat& picture, const cv::Mat& fill, const cv::Mat& band,
                      const cv::Rect& box);

}  // namespace slidetrack
