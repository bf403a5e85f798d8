#pragma once
// Decides where one slide ends and the next begins. The pipeline applies the decision to
// the slide list.

#include <memory>

#include <opencv2/core.hpp>

#include "slides/change_detector_options.h"
#include "slides/slide_detector.h"

namespace slidetrack {

struct IntervalStage {
  std::unique_ptr<SlideChangeDetector> detector;
};

struct ChangeDecision {
  bool changed = false;
  const cv::Mat* endedPicture = nullptr;  // the ended slide's picture, when changed
};

// keepPictures: build slide pictures (for saving or showing them).
void intervalStageCreate(IntervalStage& stage, const ChangeDetectorOptions& options,
                         bool keepPictures);
ChangeDecision intervalStageProcess(IntervalStage& stage, const cv::Mat& presentImage);
// Picture of the slide shown now, rebuilt from its recent frames.
const cv::Mat& intervalStageSlideImage(IntervalStage& stage);

}  // namespace slidetrack
