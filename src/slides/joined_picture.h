#pragma once
// One picture of a slide from two records that showed it: where their pictures differ, the one
// that the slide's original explains. An arm raised in the first record's only look, or a
// speaker standing through most of the second, leaves the joined picture where the other saw
// the slide.

#include <opencv2/core.hpp>

namespace slidetrack {

// kept, other: 8-bit BGR of one size; original: 8-bit BGR, any size. kept takes other's pixels
// in each place where the two differ and other is the nearer to the original fitted to kept.
// False, kept unchanged, when they do not differ, or the original does not explain kept where
// they agree (another slide).
bool joinFromOriginal(cv::Mat& kept, const cv::Mat& other, const cv::Mat& original);

}  // namespace slidetrack
