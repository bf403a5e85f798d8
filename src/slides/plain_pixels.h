#pragma once
// Where an 8-bit grey image is plain: its deviation over a 7x7 window (the border
// reflected, as cv::blur does) below a limit.

#include <opencv2/core.hpp>

namespace slidetrack {

// plain: 255 where the window's variance is below deviation squared, 0 elsewhere. The same
// bytes as the float blurs of the image and its square would give, at a fraction of the cost.
void plainPixels(const cv::Mat& grey, double deviation, cv::Mat& plain);

}  // namespace slidetrack
