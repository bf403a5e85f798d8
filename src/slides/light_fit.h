#pragma once
// One picture's grey levels brought to another's light: the camera's exposure drifts between
// two looks at one slide.

#include <opencv2/core.hpp>

namespace slidetrack {

// to ~ gain * from + offset over mask (CV_32F planes, 8-bit mask), least squares, the gain
// held within [lowestGain, highestGain] (1 when from is nearly flat); fitted a second time
// over the pixels the first fit brings within apart, so that content that differs does not
// pull it. from, brought to to's light.
cv::Mat lightFitted(const cv::Mat& from, const cv::Mat& to, const cv::Mat& mask, float apart,
                    double lowestGain, double highestGain);

}  // namespace slidetrack
