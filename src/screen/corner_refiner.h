#pragma once
// Moves the sides of a found screen onto the projected image's own edges with sub-pixel
// accuracy.

#include <array>
#include <vector>

#include <opencv2/core.hpp>

namespace slidetrack {

// still: the grey still picture at full size. corners: TL, TR, BR, BL near the edges;
// inward: each side's unit normal towards the bright inside (top, right, bottom, left).
// Each side's edge is searched within reach pixels. Returns false, corners untouched, when a
// side has too few edge points or a corner would move further than reach.
// shown: where the still picture shows each side, as shares of the way along it (empty: all
// of it); the edge is sought there only.
bool refineScreenCorners(const cv::Mat& still, std::array<cv::Point2f, 4>& corners,
                         const std::array<cv::Point2f, 4>& inward, float reach,
                         const std::array<std::vector<cv::Vec2f>, 4>& shown = {});

}  // namespace slidetrack
