#pragma once
// Frames that the record's original stops explaining. A slide that is not among the originals
// but shares their template can take over without a reported change; its frames leave much of
// what they show unexplained by the original the record named, far more than that record's own
// frames did, while they lean to it still.

#include "matching/evidence_matcher.h"
#include "matching/matcher_options.h"

namespace slidetrack {

// Such frames in a row that end the record: more than a change to another original needs, since
// they only lack evidence, and a speaker walking close by hides much of a slide for two.
constexpr int kFitDropFrames = 3;

struct FitDrop {
  int index = -1;               // the record's original
  double shown = 0;             // the best share of a frame's content windows it explained
  EvidenceAccumulator dropped;  // the frames in a row since which it explains far less
  // After such frames ended a record: its original and that best share, for the interval they
  // began; -1 when none.
  int endedIndex = -1;
  double endedFit = 0;
};

// keepEnded: the record such frames ended stays remembered (evidence that starts anew within the
// interval they began shows the same slide).
void fitDropReset(const EvidenceLibrary& library, FitDrop& drop, bool keepEnded = false);

// Adds one frame (its evidence alone, and its decision alone) of an interval whose record names
// original k (-1: none): true when the original explains less of its content windows and its
// own, over all windows, than matchFit and than matchFitDrop of the interval's best frame, and the
// frame does not clearly side with it (a speaker the mask missed hides windows, but what stays
// visible still tells). Such a frame joins drop.dropped; any other empties it.
bool fitDropAdd(const EvidenceLibrary& library, const EvidenceAccumulator& frame,
                const EvidenceDecision& alone, int k, const MatcherOptions& options, FitDrop& drop);

// Whether one frame's evidence leaves original k so well explained (matchFit at least, counted
// as for a drop) that the frame is far from any drop.
bool fitDropFar(const EvidenceAccumulator& frame, int k, const MatcherOptions& options);

// After the dropped frames ended the record of drop.index: they start an interval that names
// that original only where it explains them at least matchFitDrop as well.
void fitDropEnded(const EvidenceLibrary& library, FitDrop& drop);

// Whether the interval begun by such frames, its evidence acc, may name original k.
bool fitDropAllows(const FitDrop& drop, const EvidenceAccumulator& acc, int k,
                   const MatcherOptions& options);

}  // namespace slidetrack
