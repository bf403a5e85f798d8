#pragma once
// Tells for every processed frame which original slide the screen shows. The pipeline
// applies the decision to the slide list.

#include <memory>
#include <optional>
#include <string>

#include <opencv2/core.hpp>

#include "features/feature_options.h"
#include "features/grad_dist.h"
#include "matching/matcher_options.h"
#include "matching/original_library.h"
#include "results/slide_list.h"

namespace slidetrack {

struct MatchingStage {
  FeatureOptions features;
  MatcherOptions matcher;
  std::unique_ptr<GradDistExtractor> extractor;
  int featureCount = 0;
  int featureLength = 0;
  cv::Mat featureMatrix;
  cv::Mat featureImage;
  std::unique_ptr<SlideList> originals;
  std::unique_ptr<OriginalSlideLibrary> library;
  cv::Mat voteRow;
  cv::Mat matchAccumulator;
  // Set by the pipeline before each frame: screen-image-sized, 255 where a person covers
  // the slide or it has not been seen yet; empty when the change decision does not tell.
  cv::Mat covered;
};

struct MatchDecision {
  bool decided = false;
  const SlideRecord* original = nullptr;  // the best original, decided or not
  double score = 0.0;                     // runner-up / best vote ratio
};

enum class OriginalsOutcome { kNotGiven, kUnusable, kBuilt, kAborted };

bool matchingEnabled(const MatchingStage& stage);
// Initialises the extractor and makes the feature matrix.
void matchingStageInit(MatchingStage& stage, const FeatureOptions& features,
                       const MatcherOptions& matcher);
// Reads the originals and builds their library; a file that gives no slide leaves matching
// off. kAborted when the user pressed Esc in the progress picture.
OriginalsOutcome matchingStageLoad(MatchingStage& stage, const std::string& originalsPath,
                                   const ProgressViewer& viewer);
// Clears the accumulated votes; called at every slide change.
void matchingStageReset(MatchingStage& stage);
// Scores the frame and decides on the votes accumulated since the last change.
MatchDecision matchingStageProcess(MatchingStage& stage, const cv::Mat& presentGray);

}  // namespace slidetrack
