#include "matching/frame_matcher.h"

#include "matching/original_library.h"
#include "matching/slide_matcher.h"
#include "matching/window_evidence.h"

namespace slidetrack {

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
  evidenceAddFrame(matcher.evidence, features, matcher.strengths, matcher.covered,
                   matcher.accumulator);
  const EvidenceDecision decision =
      evidenceDecide(matcher.evidence, matcher.accumulator, matcher.options);
  match.index = decision.index;
  match.matched = decision.matched;
  match.confidence = 1.0 - decision.margin;
  return match;
}

}  // namespace slidetrack
