#pragma once
// Searches the projected screen's corners in sample frames of the middle half of a video.

#include <opencv2/core.hpp>

#include "presentation_settings.h"

struct VideoSource;

// Returns a 1x4 CV_32FC2 corner matrix (TL, TR, BR, BL) or an empty matrix when no screen
// was found. Always leaves the video source closed.
cv::Mat presentationLocalize(VideoSource* video, int presentDetCount, int boardDetLow,
                             int boardDetHigh, const SampleViewer& viewer);
