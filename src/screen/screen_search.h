#pragma once
// The screen search by cues: samples frames of the middle half of a video as the design's
// search does, then chooses the screen on all samples together and refines its corners.

#include <vector>

#include <opencv2/core.hpp>

#include "screen/presentation_settings.h"
#include "screen/screen_chooser.h"
#include "screen/screen_search_options.h"

namespace slidetrack {

struct VideoSource;

// Corners at full size (TL, TR, BR, BL) when a screen was found; grey samples of one size.
ScreenChoice screenFindInSamples(const std::vector<cv::Mat>& greys,
                                 const ScreenSearchOptions& options);

// A 1x4 CV_32FC2 corner matrix, or empty when no screen was found or the video is a screen
// recording (the whole frame is then the slide). Always leaves the video source closed.
cv::Mat screenSearch(VideoSource* video, int presentDetCount, const ScreenSearchOptions& options,
                     const SampleViewer& viewer);

}  // namespace slidetrack
