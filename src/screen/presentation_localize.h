#pragma once
// Searches the projected screen's corners in sample frames of the middle half of a video.

#include <functional>

#include <opencv2/core.hpp>

#include "screen/screen_search_options.h"

namespace slidetrack {

struct VideoSource;

// Shows a localisation sample (BGR frame with the best quadrilateral so far) and returns
// the key pressed within 10 ms, or -1. Empty when running without windows.
using SampleViewer = std::function<int(const cv::Mat&)>;
// Told the frame index of each sample before it is decoded.
using SampleListener = std::function<void(int position)>;

// Returns a 1x4 CV_32FC2 corner matrix (TL, TR, BR, BL) or an empty matrix when no screen
// was found. The video stays open, positioned wherever the last sample left it.
cv::Mat presentationLocalize(VideoSource* video, const ScreenSearchOptions& options,
                             const SampleViewer& viewer, const SampleListener& listener = {});

// Scores one grey frame and writes the candidate corners (boardDetect with fixed thresholds).
using BoardDetector = std::function<float(const cv::Mat& grey, cv::Point2f corners[4])>;

// presentationLocalize with the detector supplied by the caller.
cv::Mat presentationLocalizeWith(VideoSource* video, int presentDetCount,
                                 const BoardDetector& detect, const SampleViewer& viewer,
                                 const SampleListener& listener = {});

// Frame index of sample i of count in a video of frameCount frames:
// N / 4 + ((N / 2) * i) / count - 2 with truncating integer division, but at least i + 1
// so that short clips give distinct pictures. count must be > 0 and at most N / 2.
int localizeSamplePosition(int frameCount, int i, int count);

// Top width times right height of a candidate, the size measure of the search.
float localizeArea(const cv::Point2f corners[4]);

// A candidate replaces the best when its score is at most 1 % lower and it is larger.
bool localizeAccepts(float score, float area, float bestScore, float bestArea);

}  // namespace slidetrack
