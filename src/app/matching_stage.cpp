#include "app/matching_stage.h"

#include "matching/readable_originals.h"
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
  // An unreadable original has no features: it must not win the frame's empty windows.
  ReadableOriginals readable = originalLibraryKeepReadable(std::move(stage.library));
  stage.library = std::move(readable.library);
  stage.listIndex = std::move(readable.listIndex);
  if (stage.library && stage.library->count > 0)
    frameMatcherInit(stage.frameMatcher, *stage.library, stage.matcher);
  return OriginalsOutcome::kBuilt;
}

void matchingStageReset(MatchingStage& stage) {
  if (matchingEnabled(stage)) frameMatcherReset(stage.frameMatcher);
}

MatchDecision matchingStageProcess(MatchingStage& stage, const cv::Mat& presentGray,
                                   const cv::Mat& coveredMask) {
  featureImagePrepareKeepingSource(presentGray, stage.featureImage, stage.features);
  zorGllfGradDistExtract(stage.extractor.get(), stage.featureImage, &stage.featureMatrix);
  MatchDecision decision;
  decision.original = &stage.originals->slides[0];
  decision.score = 1.0;
  if (stage.listIndex.empty()) return decision;  // no original could be read
  const FrameMatch match = frameMatcherAdd(stage.frameMatcher, *stage.library, *stage.extractor,
                                           stage.featureImage, stage.featureMatrix, coveredMask);
  decision.decided = match.matched;
  decision.score = match.confidence;
  decision.original = &stage.originals->slides[stage.listIndex[match.index]];
  return decision;
}

}  // namespace slidetrack
