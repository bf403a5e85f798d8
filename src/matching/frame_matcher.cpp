#include "matching/frame_matcher.h"

#include <utility>

#include "matching/original_library.h"
#include "matching/slide_matcher.h"
#include "matching/window_evidence.h"

namespace slidetrack {

namespace {

// The share of the evidence between the two nearest originals with which one frame alone
// overrides the interval's decision.
const double kRestartMargin = 0.4;

}  // namespace

void frameMatcherInit(FrameMatcher& matcher, const OriginalSlideLibrary& library,
                      const MatcherOptions& options) {
  matcher.options = options;
  if (options.method == MatcherOptions::Method::kEvidence)
    evidenceLibraryBuild(library, matcher.evidence);
  matcher.accumulated = cv::Mat::zeros(1, library.count, CV_32FC1);
  frameMatcherReset(matcher);
}

void frameMatcherReset(FrameMatcher& matcher) {
  if (!matcher.accumulated.empty()) matcher.accumulated.setTo(0);
  evidenceAccumulatorReset(matcher.evidence, matcher.accumulator);
  matcher.otherIndex = -1;
}

FrameMatch frameMatcherAdd(FrameMatcher& matcher, const OriginalSlideLibrary& library,
                           const GradDistExtractor& extractor, const cv::Mat& featureImage,
                           const cv::Mat& features, const cv::Mat& coveredMask) {
  FrameMatch match;
  if (matcher.options.method == MatcherOptions::Method::kPlain) {
    slideMatchScore(library, features, nullptr, matcher.voteRow);
    if (matcher.voteRow.size() == matcher.accumulated.size())
      matcher.accumulated += matcher.voteRow;
    match.matched = slideMatchDecide(matcher.accumulated, matcher.options.matchLimit, &match.index,
                                     &match.confidence) != 0;
    return match;
  }
  windowStrengths(extractor, featureImage.rows, featureImage.cols, matcher.strengths);
  windowsCovered(extractor, featureImage.rows, featureImage.cols, coveredMask, matcher.covered);
  evidenceAccumulatorReset(matcher.evidence, matcher.lastFrame);
  evidenceAddFrame(matcher.evidence, features, matcher.strengths, matcher.covered,
                   matcher.lastFrame);
  EvidenceDecision decision =
      evidenceDecide(matcher.evidence, matcher.accumulator, matcher.options);
  const EvidenceDecision alone =
      evidenceDecide(matcher.evidence, matcher.lastFrame, matcher.options);
  // A slide change the detector missed (a build that adds one line under a speaker): two
  // frames in a row that clearly show another original start the evidence anew with them.
  const bool other = matcher.accumulator.frames > 0 && alone.matched &&
                     alone.margin >= kRestartMargin && alone.index != decision.index;
  if (other && alone.index == matcher.otherIndex) {
    evidenceAccumulatorReset(matcher.evidence, matcher.accumulator);
    evidenceAccumulatorMerge(matcher.frameBefore, matcher.accumulator);
  }
  matcher.otherIndex = other ? alone.index : -1;
  evidenceAccumulatorMerge(matcher.lastFrame, matcher.accumulator);
  std::swap(matcher.lastFrame, matcher.frameBefore);
  decision = evidenceDecide(matcher.evidence, matcher.accumulator, matcher.options);
  match.index = decision.index;
  match.matched = decision.matched;
  match.confidence = 1.0 - decision.margin;
  return match;
}

}  // namespace slidetrack
