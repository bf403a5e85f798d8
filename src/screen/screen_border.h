#pragma once
// A projected image inside a screen's dark border: a dark title bar at the top of the slides
// has no edge against the border, so the top found may be the bar's lower edge instead.

#include <array>

#include <opencv2/core.hpp>

namespace slidetrack {

// still: the grey still picture; corners: TL, TR, BR, BL on the projected image's edges.
// The border's outer edge is sought beyond each side. When the bottom's border is found and
// the top's is much wider than the bottom's (scaled by the sides' lengths, as a border of
// one width is seen), the top is moved to that width inside the border's outer top edge.
// Returns whether the top moved; corners are untouched otherwise.
bool screenTopFromBorder(const cv::Mat& still, std::array<cv::Point2f, 4>& corners);

}  // namespace slidetrack
