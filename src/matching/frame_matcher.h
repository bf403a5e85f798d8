#pragma once
// One run's matching of frames to originals, by the decision its options choose; the
// evidence of a slide interval is kept until reset.

#include <cstdint>
#include <deque>
#include <vector>

#include <opencv2/core.hpp>

#include "matching/evidence_matcher.h"
#include "matching/fit_drop.h"
#include "matching/interval_view.h"
#include "matching/matcher_options.h"
#include "matching/picture_check.h"

namespace slidetrack {

// Share of the feature windows beyond which the covered mask is not used.
constexpr double kMatcherMostCovered = 0.3;

struct OriginalSlideLibrary;
struct GradDistExtractor;

// The pictures of an interval's first frames, and the cells an original judged them on.
struct IntervalPictures {
  std::vector<PictureFrame> frames;
  int original = -1;  // the original the counts are for
  size_t judged = 0;  // frames judged so far
  std::vector<int> tested, failed;
};

// What the whole evidence of an ended interval decided: a record is joined to the one before
// only on this.
struct IntervalVerdict {
  int decided = -1;   // the original it decided, -1 when none
  int expected = -1;  // the original last decided when the interval began
  double margin = 0;  // the share of the evidence that sided with it
  int leading = -1;   // the original the evidence leaned to most, decided or not
  // The evidence decided leading, and only the picture check took it back.
  bool pictureRefused = false;
  // It decided none, and its record loses the match its frames decided last: out of the deck's
  // order (matchDropJump), or the original shown before it (matchDropRepeat).
  bool matchDropped = false;
};

struct FrameMatcher {
  MatcherOptions options;
  EvidenceLibrary evidence;
  EvidenceAccumulator accumulator;  // since the slide change
  EvidenceAccumulator lastFrame;
  EvidenceAccumulator run;    // the last frames that each showed another original than decided
  int runIndex = -1;          // that original, -1 when no such run
  bool runOverrules = false;  // it began after frames that sided with no original
  int runClear = 0;           // its frames that showed that original clearly
  int runSpan = 0;            // the processed frames since it began
  // The same two over the windows changed since the interval first showed them: a run
  // needs their evidence too.
  EvidenceAccumulator lastChanged, runChanged;
  IntervalView view;
  std::vector<uint8_t> unchanged;
  std::deque<EvidenceAccumulator> recent;  // the interval's last frames alone, newest last
  int lastMatched = -1;                    // the original last decided, kept over slide changes
  int lastMatchedBefore = -1;              // and before the last frame
  PictureCheckLibrary pictureLibrary;
  IntervalPictures pictures;  // of the interval since the slide change
  bool lastPictureKept = false;
  std::vector<int> decided;  // per frame of the interval: the original it decided, -1 none
  // Per original: the pictures of the last interval whose record kept it; empty without
  // pictures.
  std::vector<IntervalPictures> shown;
  // The original the last ended interval's record kept although its whole evidence no longer
  // decided it; -1 when none.
  int undecidedIndex = -1;
  // The original last decided when the interval began; the verdict of the last that ended.
  int expected = -1;
  IntervalVerdict ended;
  FitDrop fit;          // the frames the record's original stops explaining
  cv::Mat voteRow;      // the plain decision's votes of one frame
  cv::Mat accumulated;  // and of the interval
  std::vector<float> strengths;
  std::vector<uint8_t> covered;
  // The interval's margin after the last frame added, 0 when undecided; and whether that frame
  // alone sided clearly with the same original, with no other one's run or fit drop under way.
  double lastMargin = 0;
  bool lastAgreed = false;
  EvidenceDecision lastAlone;  // what the last frame read decided alone
};

struct FrameMatch {
  int index = 0;  // the library's nearest original
  bool matched = false;
  double confidence = 1;  // smaller is surer: the vote ratio, or 1 - the evidence margin
  // When the frames showed another original than the interval's evidence said and the
  // evidence restarted with them: the processed frames before this one at which the
  // other original first showed. -1 otherwise.
  int framesBack = -1;
  // This frame took the match off the interval before: its record kept this original although
  // its whole evidence no longer decided it, and this interval decides it by matchJumpMargin.
  bool previousWithdrawn = false;
  // The record's original no longer explains the frames since framesBack (matchFitDrop): the
  // record ends before them, and the frames start one of their own.
  bool recordEnds = false;
};

void frameMatcherInit(FrameMatcher& matcher, const OriginalSlideLibrary& library,
                      const MatcherOptions& options);
// Forgets the interval's evidence: called at every slide change. The original last decided
// is kept: the next interval needs only matchMargin for it and for the one after it in the
// list, and matchJumpMargin for any other (the first original counts as next at the start).
void frameMatcherReset(FrameMatcher& matcher);
// Ends the interval at a reported slide change (then resets) and returns its decision. An
// interval that names an original an earlier interval's record kept needs its pictures left
// unexplained by at most matchUnexplained more than the latest such interval's: a slide that
// looks the same to the features is another one. An interval whose whole evidence no longer
// decides the match its frames decided keeps it: the next one may take it back
// (previousWithdrawn).
// lastFrameIsNext: the change first showed in the last frame added, whose evidence then
// leaves the decision.
EvidenceDecision frameMatcherEnd(FrameMatcher& matcher, bool lastFrameIsNext);
// Whether the interval's evidence is settled: it decided its original by margin at least, and
// the last frame added alone clearly agreed, with no other original's run or fit drop under
// way. A frame that changes nothing visible of the slide would then add that frame's evidence
// again.
bool frameMatcherSettled(const FrameMatcher& matcher, double margin);
// Adds the frame added last again, for a frame that showed the same (frameMatcherSettled), and
// decides.
FrameMatch frameMatcherRepeat(FrameMatcher& matcher);
// Adds a frame whose features the extractor has just taken from its feature image and
// decides. coveredMask: empty, or 8-bit at the screen image's size, 255 where something
// stands in front of the screen; those windows do not count while they are a speaker's share
// of the screen. Originals that differ only where nothing was seen are not told apart.
FrameMatch frameMatcherAdd(FrameMatcher& matcher, const OriginalSlideLibrary& library,
                           const GradDistExtractor& extractor, const cv::Mat& featureImage,
                           const cv::Mat& features, const cv::Mat& coveredMask = cv::Mat());

}  // namespace slidetrack
