#pragma once
// The screen's uneven light taken out of a grey screen image: a projector's falloff and a
// camera's vignetting make the slide's background tens of grey levels darker at the
// corners than at the centre, more than a person's clothes differ from it at times.

#include <opencv2/core.hpp>

namespace slidetrack {

// out = work with a smooth quadratic surface, fitted to the pixels near the background
// grey outside exclude (may be empty), levelled to background. out is 8-bit like work.
void evenLight(const cv::Mat& work, int background, const cv::Mat& exclude, cv::Mat& out);

}  // namespace slidetrack
