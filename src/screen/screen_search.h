#pragma once
// The screen search by cues: samples frames of the middle half of a video as the design's
// search does, then chooses the screen on all samples together and refines its corners.

#include <vector>

#include <opencv2/core.hpp>

#include "screen/presentation_localize.h"
#include "screen/screen_chooser.h"
#include "screen/screen_search_options.h"

namespace slidetrack {

struct VideoSource;

// Corners at full size (TL, TR, BR, BL) when a screen was found; grey samples of one size.
ScreenChoice screenFindInSamples(const std::vector<cv::Mat>& greys,
                                 const ScreenSearchOptions& options);

struct ScreenSearchResult {
  cv::Mat corners;         // 1x4 CV_32FC2 (TL, TR, BR, BL); empty when none was found
  bool recording = false;  // a screen recording: the whole frame is the slide
};

// Samples as presentationLocalize does, telling listener each position. The video stays
// open, positioned wherever the last sample left it.
ScreenSearchResult screenSearch(VideoSource* video, const ScreenSearchOptions& options,
                                const SampleViewer& viewer, const SampleListener& listener = {});

}  // namespace slidetrack
