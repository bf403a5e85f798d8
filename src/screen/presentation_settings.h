#pragma once
// Every tunable value of a run, read from and written back to the configuration file.

#include <functional>
#include <memory>
#include <string>

#include <opencv2/core.hpp>

namespace slidetrack {

struct VideoSource;

struct PresentationSettings {
  int presentWidth = 640;         // width of the rectified screen image
  int presentHeight = 480;        // height of the rectified screen image
  int boardDetLow = 120;          // first-pass low edge threshold of the board detector
  int boardDetHigh = 150;         // first-pass high edge threshold of the board detector
  int presentDetCount = 10;       // sample frames searched for the screen
  cv::Mat perspectiveMatrix;      // 3x3 CV_32FC1 frame -> screen; empty when no corners known
  int slideFrameStep = 25;        // frames between processed frames
  int slideDiffBuff = 10;         // frames in the slide change detector's ring
  int slideDetWidth = 160;        // columns of the detector's edge maps
  int slideDetHeight = 120;       // rows of the detector's edge maps
  float slideDiffThresh = 0.01f;  // stored by the detector, not used in its decision
  float slideDistrThresh = 0.3f;  // stored by the detector, not used in its decision
  float locWndOverlap = 0.3f;     // overlap of neighbouring feature windows
  int locWndSize = 31;            // side of a feature window in pixels
  int localWidth = 320;           // width of the feature image
  int localHeight = 240;          // height of the feature image
  float matchLimit = 0.5f;        // runner-up / best vote ratio below which a match is decided
  int gradBinSize = 8;            // orientation bins of a local feature
  // After the keys above: the decision. "plain" is the vote ratio under matchLimit alone.
  std::string matchMethod = "evidence";
  float matchMargin = 0.3f;  // evidence share between the two nearest originals for a match
  float matchFit = 0.5f;     // share of the content windows the match must explain
};

// Shows a localisation sample (BGR frame with the best quadrilateral so far) and returns
// the key pressed within 10 ms, or -1. Empty when running without windows.
using SampleViewer = std::function<int(const cv::Mat&)>;

// Reads the configuration at path (defaults when missing), runs the screen search when no
// corners are stored and video is open, writes the file back atomically and builds
// perspectiveMatrix from known corners. Returns nullptr with error set when the file
// exists but cannot be parsed (it is then left untouched).
std::unique_ptr<PresentationSettings> presentationSettingsLoad(
    std::unique_ptr<PresentationSettings> settings, const std::string& path, VideoSource* video,
    const SampleViewer& viewer, std::string* error);
void presentationSettingsRelease(std::unique_ptr<PresentationSettings>& settings);

// The map from corners (TL, TR, BR, BL) to the presentWidth x presentHeight rectangle.
cv::Mat perspectiveFromCorners(const cv::Mat& boardPoints, int presentWidth, int presentHeight);

}  // namespace slidetrack
