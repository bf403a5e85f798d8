#pragma once
// Image pyramid with Sobel gradients, magnitudes and angles on every level.

#include <memory>

#include <opencv2/core.hpp>

#include "features/grad_dist.h"

namespace slidetrack {

// Fills the pyramid for an 8-bit grey image. The pyramid is (re)made only when it is
// missing, has another level count or was sized for another image; otherwise its
// images are overwritten in place. Level i is (rows >> i) x (cols >> i). Angles are in
// degrees, 0 to 360. Returns nullptr for an empty image or levelCount < 1.
GradientPyramid* gradientPyramidCompute(std::unique_ptr<GradientPyramid>& pyramid,
                                        const cv::Mat& image, int levelCount, int aperture);

enum GradientSlot { kLevelImage = 0, kGradX, kGradY, kMagnitude, kAngle };

}  // namespace slidetrack
