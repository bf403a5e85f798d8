#include "matching/frame_matcher_interval.h"

#include <utility>

#include "matching/window_evidence.h"

namespace slidetrack {

namespace {

// pictureUnexplained of original k over the interval's kept pictures, judging the frames
// not judged against k yet.
double unexplainedShare(const PictureCheckLibrary& library, IntervalPictures& pictures, int k) {
  if (pictures.original != k) {
    pictures.original = k;
    pictures.judged = 0;
    pictures.tested.assign(library.cells, 0);
    pictures.failed.assign(library.cells, 0);
  }
  for (; pictures.judged < pictures.frames.size(); ++pictures.judged) {
    PictureFrame& frame = pictures.frames[pictures.judged];
    if (frame.picture.type() != CV_32F) frame.picture.convertTo(frame.picture, CV_32F);
    pictureCheck(library, k, frame, pictures.tested.data(), pictures.failed.data());
  }
  return pictureUnexplained(library, k, pictures.tested, pictures.failed);
}

}  // namespace

int frameMatcherRecordMatch(const std::vector<int>& decided) {
  for (auto k = decided.rbegin(); k != decided.rend(); ++k)
    if (*k >= 0) return *k;
  return -1;
}

EvidenceDecision frameMatcherDecideInterval(FrameMatcher& matcher, const EvidenceAccumulator& acc,
                                            IntervalVerdict* verdict) {
  EvidenceDecision decision = evidenceDecide(matcher.evidence, acc, matcher.options);
  const int last = matcher.lastMatched;
  const bool inOrder = decision.index == last + 1 || (last >= 0 && decision.index == last);
  if (!inOrder && decision.margin < matcher.options.matchJumpMargin) decision.matched = false;
  // Frames that stopped showing an original lean to it still: a clear margin does not make up
  // for what it leaves unexplained.
  if (!fitDropAllows(matcher.fit, acc, decision.index, matcher.options)) decision.matched = false;
  // An original shown before (just before, or earlier in the talk): the pictures tell a slide
  // that is not among the originals but differs from it in a block or a few lines, under the
  // same camera, speaker and ink.
  const int k = decision.index;
  const bool byEvidence = decision.matched;
  if (decision.matched && !matcher.shown.empty() && !matcher.shown[k].frames.empty()) {
    const double before = unexplainedShare(matcher.pictureLibrary, matcher.shown[k], k);
    const double now = unexplainedShare(matcher.pictureLibrary, matcher.pictures, k);
    if (before >= 0 && now > before + matcher.options.matchUnexplained) decision.matched = false;
  }
  if (verdict) {
    verdict->decided = decision.matched ? decision.index : -1;
    verdict->expected = matcher.expected;
    verdict->margin = decision.margin;
    verdict->leading = decision.index;
    verdict->pictureRefused = byEvidence && !decision.matched;
  }
  return decision;
}

// Their grey levels are whole numbers: 8 bits hold them.
void frameMatcherKeepShown(FrameMatcher& matcher, int k) {
  if (k < 0 || matcher.shown.empty()) return;
  for (PictureFrame& frame : matcher.pictures.frames) frame.picture.convertTo(frame.picture, CV_8U);
  matcher.shown[k] = std::move(matcher.pictures);
}

void frameMatcherStartAnew(FrameMatcher& matcher, EvidenceAccumulator& from,
                           const cv::Mat& features, const std::vector<uint8_t>& shows) {
  matcher.recent.clear();
  std::swap(matcher.accumulator, from);
  evidenceAccumulatorReset(matcher.evidence, from);
  evidenceAccumulatorReset(matcher.evidence, matcher.run);
  evidenceAccumulatorReset(matcher.evidence, matcher.runChanged);
  matcher.runClear = 0;
  matcher.runSpan = 0;
  // The new slide's interval: its view starts with this frame.
  intervalViewReset(matcher.view, matcher.evidence.windows, matcher.evidence.bins);
  intervalViewCompare(matcher.view, features, matcher.covered, shows,
                      matcher.options.matchChangeDistance, matcher.unchanged);
  matcher.runIndex = -1;
  matcher.runOverrules = false;
  frameMatcherKeepShown(matcher,
                        frameMatcherRecordMatch(matcher.decided));  // the record that ends here
  matcher.pictures = IntervalPictures();
  matcher.decided.clear();
  matcher.undecidedIndex = -1;
}

FrameMatch frameMatcherDecideWithFrame(FrameMatcher& matcher, FrameMatch match) {
  const EvidenceDecision decision = frameMatcherDecideInterval(matcher, matcher.accumulator);
  if (decision.matched) matcher.lastMatched = decision.index;
  matcher.decided.push_back(decision.matched ? decision.index : -1);
  // The interval before held its match only by frames that its whole evidence overruled, and
  // this one shows that original clearly: that one leaned to it without being it. (Pictures are
  // not asked: over a short interval's few frames they vary more than a block's difference.)
  if (matcher.options.matchWithdraw && decision.matched &&
      decision.index == matcher.undecidedIndex &&
      decision.margin >= matcher.options.matchJumpMargin) {
    match.previousWithdrawn = true;
    if (!matcher.shown.empty()) matcher.shown[decision.index] = IntervalPictures();  // not it
    matcher.undecidedIndex = -1;
  }
  match.index = decision.index;
  match.matched = decision.matched;
  match.confidence = 1.0 - decision.margin;
  matcher.lastMargin = decision.matched ? decision.margin : 0;
  return match;
}

}  // namespace slidetrack
