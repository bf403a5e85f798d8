#pragma once
// Searches the projected screen's corners in sample frames of the middle half of a video.

#include <functional>

#include <opencv2/core.hpp>

#include "screen/presentation_settings.h"

namespace slidetrack {

struct VideoSource;

// Returns a 1x4 CV_32FC2 corner matrix (TL, TR, BR, BL) or an empty matrix when no screen
// was found. Always leaves the video source closed.
cv::Mat presentationLocalize(VideoSource* video, int presentDetCount, int boardDetLow,
                             int boardDetHigh, const SampleViewer& viewer);

// Scores one grey frame and writes the candidate corners (boardDetect with fixed thresholds).
using BoardDetector = std::function<float(const cv::Mat& grey, cv::Point2f corners[4])>;

// presentationLocalize with the detector supplied by the caller.
cv::Mat presentationLocalizeWith(VideoSource* video, int presentDetCount,
                                 const BoardDetector& detect, const SampleViewer& viewer);

// Frame index of sample i of count in a video of frameCount frames:
// N / 4 + ((N / 2) * i) / count - 2 with truncating integer division. count must be > 0.
int localizeSamplePosition(int frameCount, int i, int count);

// Top width times right height of a candidate, the size measure of the search.
float localizeArea(const cv::Point2f corners[4]);

// A candidate replaces the best when its score is at most 1 % lower and it is larger.
bool localizeAccepts(float score, float area, float bestScore, float bestArea);

}  // namespace slidetrack
