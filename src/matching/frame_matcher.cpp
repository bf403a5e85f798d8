#include "matching/frame_matcher.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

#include "matching/frame_matcher_interval.h"
#include "matching/original_library.h"
#include "matching/slide_matcher.h"
#include "matching/window_evidence.h"

namespace slidetrack {

namespace {

// Frames that each show another original than the interval's evidence says, in a row,
// before they start the evidence anew: one frame may be a speaker passing over a line.
const int kRunFrames = 2;
// Frames of an interval whose pictures are kept: judged only when the next interval names
// the same original, or this one names the one before's.
const size_t kKeptPictures = 6;
// Frames alone kept for placing a restart.
const size_t kKeptFrames = 16;

}  // namespace

void frameMatcherInit(FrameMatcher& matcher, const OriginalSlideLibrary& library,
                      const MatcherOptions& options) {
  matcher.options = options;
  if (options.method == MatcherOptions::Method::kEvidence)
    evidenceLibraryBuild(library, matcher.evidence);
  if (options.method == MatcherOptions::Method::kEvidence && options.matchUnexplained < 1.f)
    pictureCheckBuild(library, matcher.pictureLibrary);
  matcher.accumulated = cv::Mat::zeros(1, library.count, CV_32FC1);
  matcher.lastMatched = matcher.lastMatchedBefore = -1;
  matcher.shown.assign(matcher.pictureLibrary.pictures.empty() ? 0 : library.count,
                       IntervalPictures());
  matcher.undecidedIndex = -1;
  frameMatcherReset(matcher);
}

void frameMatcherReset(FrameMatcher& matcher) {
  if (!matcher.accumulated.empty()) matcher.accumulated.setTo(0);
  evidenceAccumulatorReset(matcher.evidence, matcher.accumulator);
  evidenceAccumulatorReset(matcher.evidence, matcher.run);
  evidenceAccumulatorReset(matcher.evidence, matcher.runChanged);
  intervalViewReset(matcher.view, matcher.evidence.windows, matcher.evidence.bins);
  matcher.recent.clear();
  matcher.runIndex = -1;
  matcher.runOverrules = false;
  matcher.runClear = 0;
  matcher.runSpan = 0;
  matcher.pictures = IntervalPictures();
  matcher.lastPictureKept = false;
  matcher.decided.clear();
  matcher.expected = matcher.lastMatched;
  fitDropReset(matcher.evidence, matcher.fit);
  matcher.lastMargin = 0;
  matcher.lastAgreed = false;
}

EvidenceDecision frameMatcherEnd(FrameMatcher& matcher, bool lastFrameIsNext) {
  EvidenceDecision ended;
  if (matcher.options.method == MatcherOptions::Method::kPlain) {
    frameMatcherReset(matcher);
    return ended;
  }
  // The last frame already showed the next slide: its evidence and what it decided go. (It
  // does not start the new interval: a change that showed first under a passing speaker would
  // bring his frame along.)
  lastFrameIsNext = lastFrameIsNext && matcher.accumulator.frames > matcher.lastFrame.frames;
  if (lastFrameIsNext) {
    evidenceAccumulatorMerge(matcher.lastFrame, matcher.accumulator, -1);
    matcher.lastMatched = matcher.lastMatchedBefore;
    if (!matcher.decided.empty()) matcher.decided.pop_back();
    if (matcher.lastPictureKept) {
      matcher.pictures.frames.pop_back();
      matcher.pictures.judged = std::min(matcher.pictures.judged, matcher.pictures.frames.size());
      matcher.pictures.original = -1;
    }
  }
  matcher.ended = IntervalVerdict();
  if (matcher.accumulator.frames > 0)
    ended = frameMatcherDecideInterval(matcher, matcher.accumulator, &matcher.ended);
  if (ended.matched) matcher.lastMatched = ended.index;
  // An interval whose evidence no longer decides keeps the match its frames decided last, and
  // later intervals are judged against it; not one out of the deck's order (matchDropJump),
  // nor the one shown before it (matchDropRepeat).
  int named = ended.matched ? ended.index : frameMatcherRecordMatch(matcher.decided);
  const int expected = matcher.expected;
  const bool repeated = expected >= 0 && named == expected;
  const bool inOrder = named == expected + 1 || repeated;
  // Before any original was decided a talk may begin anywhere.
  const bool drop =
      (!inOrder && matcher.options.matchDropJump) || (repeated && matcher.options.matchDropRepeat);
  if (!ended.matched && named >= 0 && expected >= 0 && drop) {
    matcher.ended.matchDropped = true;
    matcher.lastMatched = expected;
    named = -1;
  }
  matcher.undecidedIndex = ended.matched ? -1 : named;
  frameMatcherKeepShown(matcher, named);
  frameMatcherReset(matcher);
  return ended;
}

FrameMatch frameMatcherRepeat(FrameMatcher& matcher) {
  matcher.lastMatchedBefore = matcher.lastMatched;
  evidenceAccumulatorMerge(matcher.lastFrame, matcher.accumulator);
  matcher.recent.push_back(matcher.lastFrame);
  if (matcher.recent.size() > kKeptFrames) matcher.recent.pop_front();
  // Settled, the frame read last was far from a drop and sided with no run: so is this one, and
  // it counts for the best share the record's original explained as that frame did.
  fitDropAdd(matcher.evidence, matcher.lastFrame, matcher.lastAlone,
             frameMatcherRecordMatch(matcher.decided), matcher.options, matcher.fit);
  matcher.lastPictureKept =
      matcher.lastPictureKept && matcher.pictures.frames.size() < kKeptPictures;
  if (matcher.lastPictureKept) {
    const PictureFrame& last = matcher.pictures.frames.back();
    matcher.pictures.frames.push_back({last.picture.clone(), last.covered});
  }
  return frameMatcherDecideWithFrame(matcher, FrameMatch());
}

bool frameMatcherSettled(const FrameMatcher& matcher, double margin) {
  return matcher.options.method == MatcherOptions::Method::kEvidence && margin > 0 &&
         matcher.lastAgreed && matcher.lastMargin >= margin && matcher.accumulator.frames > 0;
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
  matcher.lastMatchedBefore = matcher.lastMatched;
  windowStrengths(extractor, featureImage.rows, featureImage.cols, matcher.strengths);
  windowsCovered(extractor, featureImage.rows, featureImage.cols, coveredMask, matcher.covered);
  // Right after a change most of the screen is "not seen yet", and a spread mask leaves
  // too little to compare: the mask counts only while it covers a speaker's share.
  const size_t coveredCount = std::count(matcher.covered.begin(), matcher.covered.end(), 1);
  if (coveredCount > kMatcherMostCovered * matcher.covered.size()) matcher.covered.clear();
  evidenceAccumulatorReset(matcher.evidence, matcher.lastFrame);
  evidenceAddFrame(matcher.evidence, features, matcher.strengths, matcher.covered,
                   matcher.lastFrame);
  EvidenceDecision decision =
      evidenceDecide(matcher.evidence, matcher.accumulator, matcher.options);
  const EvidenceDecision alone =
      evidenceDecide(matcher.evidence, matcher.lastFrame, matcher.options);
  // The frame's evidence over the windows it shows otherwise than the interval did at first.
  thread_local std::vector<uint8_t> shows;
  evidenceContentWindows(matcher.strengths.data(), static_cast<int>(matcher.strengths.size()),
                         shows);
  intervalViewCompare(matcher.view, features, matcher.covered, shows,
                      matcher.options.matchChangeDistance, matcher.unchanged);
  evidenceAccumulatorReset(matcher.evidence, matcher.lastChanged);
  evidenceAddFrame(matcher.evidence, features, matcher.strengths, matcher.unchanged,
                   matcher.lastChanged);
  // A slide change the detector missed (a build that adds one line under a speaker, or the
  // end of a slide that is not among the originals, whose frames none explains): frames in
  // a row that each show another original start the evidence anew with them.
  const bool next = alone.index == decision.index + 1;
  // So do frames that each clearly show one original after frames that sided with none
  // where the nearest two differ (a slide between two builds), unlike frames that showed
  // too little to tell.
  const bool undecided = matcher.accumulator.frames >= kRunFrames && !decision.matched;
  const bool sidedWithNone =
      undecided && decision.compared && decision.margin < matcher.options.matchMargin;
  // The run's first frame may already tip the interval's evidence its way: the run goes on.
  const bool overrules =
      alone.margin >= matcher.options.matchJumpMargin &&
      (sidedWithNone || (matcher.runOverrules && alone.index == matcher.runIndex));
  const bool unexplained = (undecided && decision.fit < matcher.options.matchFit) || overrules;
  const bool other = matcher.accumulator.frames > 0 && alone.matched &&
                     (unexplained || (alone.index != decision.index &&
                                      (next || alone.margin >= matcher.options.matchJumpMargin)));
  // A frame that leans the run's way without being clear (the new content half behind the
  // speaker) does not break the run, nor counts as one of its clear frames.
  const bool leans = !other && matcher.runIndex >= 0 && alone.index == matcher.runIndex &&
                     alone.index != decision.index && alone.compared && alone.margin > 0;
  // A run towards the next original outlasts a frame that sides with none (matchLeanFrames).
  const int leanFrames = matcher.options.matchLeanFrames;
  const bool towardsNext = leanFrames > 0 && matcher.runIndex == decision.index + 1;
  const bool holds = !other && !leans && towardsNext && !alone.matched;
  if (other ? alone.index != matcher.runIndex : !(leans || holds)) {
    evidenceAccumulatorReset(matcher.evidence, matcher.run);
    evidenceAccumulatorReset(matcher.evidence, matcher.runChanged);
    matcher.runIndex = other ? alone.index : -1;
    matcher.runOverrules = other && overrules;
    matcher.runClear = 0;
    matcher.runSpan = 0;
  }
  if (other || leans) {
    evidenceAccumulatorMerge(matcher.lastFrame, matcher.run);
    evidenceAccumulatorMerge(matcher.lastChanged, matcher.runChanged);
  }
  if (other || leans || holds) ++matcher.runSpan;
  if (other) ++matcher.runClear;
  matcher.recent.push_back(matcher.lastFrame);
  if (matcher.recent.size() > kKeptFrames) matcher.recent.pop_front();
  bool restart = false;
  const bool leanRun = leanFrames > 0 && matcher.runIndex == decision.index + 1 &&
                       matcher.runClear >= 1 && matcher.run.frames >= leanFrames;
  if (matcher.runClear >= kRunFrames || leanRun) {
    const EvidenceDecision run = evidenceDecide(matcher.evidence, matcher.run, matcher.options);
    restart = run.matched && run.index == matcher.runIndex &&
              changedWindowsBack(matcher.evidence, matcher.runChanged, matcher.runIndex,
                                 decision.index, matcher.options);
  }
  // Frames in a row that the record's original no longer explains, none of them showing
  // another original, end the record where they began.
  fitDropAdd(matcher.evidence, matcher.lastFrame, alone,
             other || restart ? -1 : frameMatcherRecordMatch(matcher.decided), matcher.options,
             matcher.fit);
  if (restart) {
    matcher.ended = IntervalVerdict();
    if (leanRun) {
      // Its leaning frames were taken into the interval's evidence one by one: the record
      // that ends is judged without them.
      EvidenceAccumulator before = matcher.accumulator;
      evidenceAccumulatorMerge(matcher.run, before, -1);
      evidenceAccumulatorMerge(matcher.lastFrame, before);
      frameMatcherDecideInterval(matcher, before, &matcher.ended);
    } else {
      frameMatcherDecideInterval(matcher, matcher.accumulator, &matcher.ended);
    }
    // As at a slide change, an undecided interval loses the original shown before it.
    const int named = frameMatcherRecordMatch(matcher.decided);
    matcher.ended.matchDropped = matcher.options.matchDropRepeat && matcher.ended.decided < 0 &&
                                 named >= 0 && named == matcher.expected;
    matcher.expected = matcher.lastMatched;
    match.framesBack = matcher.runSpan - 1 +
                       blindFramesBefore(matcher.evidence, matcher.recent, matcher.runSpan,
                                         matcher.runIndex, decision.index, matcher.options);
    frameMatcherStartAnew(matcher, matcher.run, features, shows);
    fitDropReset(matcher.evidence, matcher.fit, true);
  } else if (matcher.fit.dropped.frames >= kFitDropFrames) {
    // The record ending here is judged whole, as at any other end, for a join with the one
    // before it.
    matcher.ended = IntervalVerdict();
    frameMatcherDecideInterval(matcher, matcher.accumulator, &matcher.ended);
    matcher.expected = matcher.lastMatched;
    match.framesBack = matcher.fit.dropped.frames - 1;
    match.recordEnds = true;
    frameMatcherStartAnew(matcher, matcher.fit.dropped, features, shows);
    fitDropEnded(matcher.evidence, matcher.fit);
  } else {
    evidenceAccumulatorMerge(matcher.lastFrame, matcher.accumulator);
  }
  matcher.lastPictureKept =
      !matcher.pictureLibrary.pictures.empty() && matcher.pictures.frames.size() < kKeptPictures;
  if (matcher.lastPictureKept) {
    matcher.pictures.frames.emplace_back();
    pictureFramePrepare(matcher.pictureLibrary, featureImage, coveredMask,
                        matcher.pictures.frames.back());
  }
  match = frameMatcherDecideWithFrame(matcher, match);
  matcher.lastAlone = alone;
  matcher.lastAgreed = alone.matched && alone.index == match.index && !restart &&
                       match.framesBack < 0 && matcher.runIndex < 0 &&
                       matcher.fit.dropped.frames == 0 &&
                       fitDropFar(matcher.lastFrame, match.index, matcher.options);
  return match;
}

}  // namespace slidetrack
