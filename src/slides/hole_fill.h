#pragma once
// Pixels of a picture never seen filled from what is seen around them: straight across a
// row where both sides agree and one runs on (a bar or the background running behind the
// speaker, not two strokes of text the gap happens to end on), else a
// blend of the nearest seen pixels, further ones the deeper the hole, so that a large hole
// in a slide's plain background shows that background and one beside a dark figure the
// figure's tone, never one colour over everything.

#include <opencv2/core.hpp>

namespace slidetrack {

// picture: 8-bit BGR, changed in place under unseen (8-bit, same size, 255 = not seen); seen
// pixels keep their values.
void fillFromSurround(cv::Mat& picture, const cv::Mat& unseen);

// picture takes, under hole (not empty), half (CV_32FC3) enlarged to the picture's size by
// linear interpolation and rounded to 8 bits, as cv::resize of all of it would give.
void takeEnlarged(const cv::Mat& half, cv::Mat& picture, const cv::Mat& hole);

}  // namespace slidetrack
