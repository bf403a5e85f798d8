#pragma once
// Turns the slide change detector's decisions into slide records, their pictures and the
// results file.

#include <memory>
#include <optional>
#include <string>

#include <opencv2/core.hpp>

#include "results/slide_list.h"
#include "slides/robust_change.h"
#include "slides/slide_detector.h"

namespace slidetrack {

struct PresentationSettings;

struct IntervalStage {
  std::unique_ptr<SlideList> list;
  std::unique_ptr<SlideChangeDetector> detector;
  // The default decision; the design's detector above runs only with slideDetMethod "plain".
  std::unique_ptr<RobustChangeDetector> robust;
  int previousFrame = -1;                // processed frame before lastFrame
  SlideRecord* currentRecord = nullptr;  // the open record; stable inside the deque
  int nextSlideId = 0;
  bool listChanged = false;
  int lastFrame = -1;  // last processed frame index
  std::optional<std::string> imagesPath;
  std::string outputXml;
};

// The change decision's settings; check() them before any work.
ChangeOptions changeOptionsFrom(const PresentationSettings& settings);
// Creates the images directory (its result is ignored: a missing directory shows as
// pictures that cannot be written).
void intervalStagePrepare(IntervalStage& stage, const std::optional<std::string>& imagesPath,
                          const std::string& outputXml);
// Creates the slide list and the detector; false when the detector settings are unusable.
// After intervalStagePrepare: slide pictures are built only when they are saved or, with
// windows, shown.
bool intervalStageCreate(IntervalStage& stage, const std::string& inputVideo,
                         const char* originalsPath, const PresentationSettings& settings,
                         bool windows);
void intervalStageFrameBegin(IntervalStage& stage);
// Opens the first record, feeds the detector; returns true on a slide change.
bool intervalStageProcess(IntervalStage& stage, int t, const cv::Mat& presentImage);
void intervalStageOpenRecord(IntervalStage& stage, int t, double confidence);
void intervalStageCloseRecord(IntervalStage& stage, int t, const cv::Mat* picture);
// Rewrites the results file when the frame opened a record.
void intervalStageSave(IntervalStage& stage);
// Picture of the slide shown now.
const cv::Mat& intervalStageSlideImage(IntervalStage& stage);
// Closes the open record at the last processed frame, saves its picture and the file.
// False when that last write of the results file failed (errno tells why, when known).
bool intervalStageFinish(IntervalStage& stage);

}  // namespace slidetrack
