#include "matching/fit_drop.h"

#include <algorithm>

namespace slidetrack {

namespace {

// Margin by which a frame that the record's original explains little still shows it: the
// speaker hides much of it. A slide that shares its title leans to it by less.
const double kStillShows = 0.6;

// The share of the content windows of the frames and of original k that k explains, over all
// windows: whether the screen still shows the picture it showed is told in the template's
// parts too (a block where every original is empty).
double fitOver(const EvidenceAccumulator& acc, int k) {
  if (k < 0 || k >= static_cast<int>(acc.support.size()) || acc.support[k] <= 0) return 0.0;
  return acc.fit[k] / acc.support[k];
}

}  // namespace

void fitDropReset(const EvidenceLibrary& library, FitDrop& drop, bool keepEnded) {
  drop.index = -1;
  drop.shown = 0;
  evidenceAccumulatorReset(library, drop.dropped);
  if (keepEnded) return;
  drop.endedIndex = -1;
  drop.endedFit = 0;
}

bool fitDropAdd(const EvidenceLibrary& library, const EvidenceAccumulator& frame,
                const EvidenceDecision& alone, int k, const MatcherOptions& options,
                FitDrop& drop) {
  bool dropped = false;
  if (options.matchFitDrop > 0.f && k >= 0) {
    if (k != drop.index) {
      drop.index = k;
      drop.shown = 0;
    }
    const double fit = fitOver(frame, k);
    const bool sides = alone.index == k && alone.margin >= kStillShows;
    dropped = fit < options.matchFit && fit < options.matchFitDrop * drop.shown && !sides;
    if (!dropped) drop.shown = std::max(drop.shown, fit);
  }
  if (dropped)
    evidenceAccumulatorMerge(frame, drop.dropped);
  else
    evidenceAccumulatorReset(library, drop.dropped);
  return dropped;
}

bool fitDropFar(const EvidenceAccumulator& frame, int k, const MatcherOptions& options) {
  return fitOver(frame, k) >= options.matchFit;
}

void fitDropEnded(const EvidenceLibrary& library, FitDrop& drop) {
  const int ended = drop.index;
  const double fit = drop.shown;
  fitDropReset(library, drop);
  drop.endedIndex = ended;
  drop.endedFit = fit;
}

bool fitDropAllows(const FitDrop& drop, const EvidenceAccumulator& acc, int k,
                   const MatcherOptions& options) {
  return k != drop.endedIndex || fitOver(acc, k) >= options.matchFitDrop * drop.endedFit;
}

}  // namespace slidetrack
