#include "app/matching_stage.h"

#include <algorithm>

#include "results/results_xml.h"

namespace slidetrack {

namespace {

const SlideRecord* originalAt(const MatchingStage& stage, int index) {
  if (index < 0) return nullptr;
  return &stage.originals->slides[stage.library->listIndex[index]];
}

EndedMatch endedMatch(const MatchingStage& stage, const IntervalVerdict& verdict) {
  return {originalAt(stage, verdict.decided),
          originalAt(stage, verdict.expected),
          verdict.margin,
          originalAt(stage, verdict.leading),
          verdict.pictureRefused,
          verdict.matchDropped};
}

MatchDecision frameDecision(MatchingStage& stage, int t, const FrameMatch& match) {
  stage.lastRead = t;
  stage.ended = EndedMatch();
  MatchDecision decision;
  decision.decided = match.matched;
  decision.score = match.confidence;
  decision.original = &stage.originals->slides[stage.library->listIndex[match.index]];
  decision.previousWithdrawn = match.previousWithdrawn;
  // The frames overruled the interval's evidence: the record before ends here.
  if (match.framesBack >= 0) stage.ended = endedMatch(stage, stage.frameMatcher.ended);
  decision.recordEnds = match.recordEnds;
  stage.recentFrames.push_back(t);
  const int kept = static_cast<int>(stage.recentFrames.size());
  if (match.framesBack >= 0)
    decision.since = stage.recentFrames[kept - 1 - std::min(match.framesBack, kept - 1)];
  // Runs that overrule the evidence are short; older frames are not asked for.
  if (kept > 16) stage.recentFrames.pop_front();
  return decision;
}

}  // namespace

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
  if (stage.library && stage.library->count > 0)
    frameMatcherInit(stage.frameMatcher, *stage.library, stage.matcher);
  return OriginalsOutcome::kBuilt;
}

MatchDecision matchingStageReset(MatchingStage& stage, bool lastFrameIsNext) {
  MatchDecision ended;
  stage.ended = EndedMatch();
  const bool keepLast = lastFrameIsNext && !stage.recentFrames.empty();
  stage.recentFrames.clear();
  if (!matchingEnabled(stage) || stage.library->unread.size() == stage.originals->slides.size())
    return ended;
  const EvidenceDecision decision = frameMatcherEnd(stage.frameMatcher, keepLast);
  stage.ended = endedMatch(stage, stage.frameMatcher.ended);
  // The plain decision is the design's: each frame's stands.
  if (!keepLast || stage.matcher.method != MatcherOptions::Method::kEvidence) return ended;
  ended.decided = decision.matched;
  ended.score = 1.0 - decision.margin;
  ended.original = &stage.originals->slides[stage.library->listIndex[decision.index]];
  return ended;
}

FrameReading matchingStageReading(const MatchingStage& stage, bool waits,
                                  const std::function<bool()>& quiet, const cv::Mat& coveredMask) {
  if (!frameMatcherSettled(stage.frameMatcher, stage.matcher.matchQuietMargin))
    return FrameReading::kRead;
  if (waits) return FrameReading::kHold;
  // Over a widely covered screen the matcher reads what is covered too, which quiet leaves out.
  const bool used = coveredMask.empty() || cv::countNonZero(coveredMask) <=
                                               kMatcherMostCovered * double(coveredMask.total());
  return used && quiet() ? FrameReading::kPassOver : FrameReading::kRead;
}

void matchingStageHold(MatchingStage& stage, int t, const cv::Mat& presentGray,
                       const cv::Mat& coveredMask, const cv::Mat& work) {
  stage.heldFrame = t;
  presentGray.copyTo(stage.heldGrey);
  work.copyTo(stage.heldWork);
  if (coveredMask.empty())
    stage.heldCovered.release();
  else
    coveredMask.copyTo(stage.heldCovered);
}

MatchDecision matchingStageProcess(MatchingStage& stage, int t, const cv::Mat& presentGray,
                                   const cv::Mat& coveredMask) {
  featureImagePrepareKeepingSource(presentGray, stage.featureImage, stage.features);
  zorGllfGradDistExtract(stage.extractor.get(), stage.featureImage, &stage.featureMatrix);
  // No original could be read: nothing to match, not even the empty stand-in.
  if (stage.library->unread.size() == stage.originals->slides.size()) {
    stage.lastRead = t;
    stage.ended = EndedMatch();
    MatchDecision decision;
    decision.original = &stage.originals->slides[0];
    decision.score = 1.0;
    return decision;
  }
  return frameDecision(stage, t,
                       frameMatcherAdd(stage.frameMatcher, *stage.library, *stage.extractor,
                                       stage.featureImage, stage.featureMatrix, coveredMask));
}

MatchDecision matchingStageRepeat(MatchingStage& stage, int t) {
  return frameDecision(stage, t, frameMatcherRepeat(stage.frameMatcher));
}

EndedMatch matchingStageTakeEnded(MatchingStage& stage) {
  const EndedMatch ended = stage.ended;
  stage.ended = EndedMatch();
  return ended;
}

}  // namespace slidetrack
