#include "app/matching_stage.h"

#include "matching/slide_matcher.h"
#include "results/results_xml.h"

namespace slidetrack {

bool matchingEnabled(const MatchingStage& stage) { return stage.library != nullptr; }

void matchingStageInit(MatchingStage& stage, const FeatureOptions& features,
                       const MatcherOptions& matcher) {
  stage.features = features;
  stage.matcher = matcher;
  stage.extractor = zorGllfGradDistCreate();
  zorGllfGradDistInit(stage.extractor.get(), 2, features.gradBinSize, featureStepRatio(features),
                      features.locWndSize);
  stage.featureCount =
      zorGllfGradDistGetSize(stage.extractor.get(), features.localHeight, features.localWidth, -1);
  stage.featureLength = zorGllfGradDistGetLength(stage.extractor.get());
  stage.featureMatrix = cv::Mat::zeros(stage.featureCount, stage.featureLength, CV_32FC1);
}

OriginalsOutcome matchingStageLoad(MatchingStage& stage, const std::string& originalsPath,
                                   const ProgressViewer& viewer) {
  stage.originals = slidesLoadFromXml(nullptr, originalsPath.c_str());
  if (!stage.originals || stage.originals->slides.empty()) {
    stage.originals.reset();
    return OriginalsOutcome::kUnusable;
  }
  bool aborted = false;
  stage.library = originalLibraryBuild(stage.originals.get(), stage.extractor.get(), stage.features,
                                       viewer, &aborted);
  if (aborted) {
    stage.library.reset();
    return OriginalsOutcome::kAborted;
  }
  if (stage.library) stage.matchAccumulator = cv::Mat::zeros(1, stage.library->count, CV_32FC1);
  return OriginalsOutcome::kBuilt;
}

void matchingStageReset(MatchingStage& stage) {
  if (!stage.matchAccumulator.empty()) stage.matchAccumulator.setTo(0);
}

MatchDecision matchingStageProcess(MatchingStage& stage, const cv::Mat& presentGray) {
  featureImagePrepareKeepingSource(presentGray, stage.featureImage, stage.features);
  zorGllfGradDistExtract(stage.extractor.get(), stage.featureImage, &stage.featureMatrix);
  slideMatchScore(*stage.library, stage.featureMatrix, nullptr, stage.voteRow);
  stage.matchAccumulator += stage.voteRow;
  MatchDecision decision;
  int index = 0;
  decision.decided = slideMatchDecide(stage.matchAccumulator, stage.matcher.matchLimit, &index,
                                      &decision.score) != 0;
  const std::vector<int>& places = stage.library->listIndex;
  decision.original = &stage.originals->slides[places.empty() ? index : places[index]];
  return decision;
}

}  // namespace slidetrack
