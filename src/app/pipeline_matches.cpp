// The run's taking of the matcher's decisions into the records.

#include "app/pipeline.h"

namespace slidetrack {

void Pipeline::applyMatch(const MatchDecision& decision, int t) {
  const SlideRecord& original = *decision.original;
  const double score = decision.score;
  if (decision.previousWithdrawn) withdrawMatch(original);
  // A slide that is not among the originals took over where the frames stopped showing the
  // record's original: the record ends there, and the new one has no match of its own yet.
  if (decision.recordEnds && decision.since > open_->start) {
    closeBefore(decision.since);
    openRecord(decision.since, 0.0);
    matchOpenedAt_ = t;
    intervalStageRestart(intervals_, presentImage_);
    notify([this](RunObserver& o) { o.slideChanged(*open_); });
  }
  matchBeforeLast_ = open_->match;
  confidenceBeforeLast_ = open_->confidence;
  if (!decision.decided) {
    notify([&](RunObserver& o) { o.noMatch(original, score); });
    return;
  }
  // A different original than the record's own is another slide, even when the change
  // detector saw none; it began where the frames began to show it, unless that was where
  // the record began too. A record without a match that such frames overrule showed a
  // slide no original explains: it ends there as well.
  const int start = decision.since >= 0 ? decision.since : t;
  const SlideRecord* previous = open_->match;
  const bool split =
      (previous ? previous->id != original.id : decision.since >= 0) && start > open_->start;
  if (split && previous)
    notify([&](RunObserver& o) { o.matchChanged(*previous, original, score); });
  if (split) {
    closeBefore(start);
    openRecord(start, score);
    matchOpenedAt_ = t;
    intervalStageRestart(intervals_, presentImage_);
  }
  if (split && !previous) notify([this](RunObserver& o) { o.slideChanged(*open_); });
  if (!split || !previous) notify([&](RunObserver& o) { o.matchDecided(original, score); });
  open_->match = &original;
  open_->confidence = score;
  decidedMatch_ = &original;
}

// The frames from start on showed the next slide: the record's picture is the one it had
// before them.
void Pipeline::closeBefore(int start) {
  const cv::Mat* picture = slidePicture();
  const cv::Mat* unseen = intervalStageUnseen(intervals_);
  if (picture) intervalStagePictureBefore(intervals_, start, picture, unseen);
  closeRecord(start - 1, picture, unseen);
}

void Pipeline::readHeldFrame() {
  const int t = matching_.heldFrame;
  if (t < 0) return;
  matching_.heldFrame = -1;
  cv::swap(matching_.readWork, matching_.heldWork);
  applyMatch(matchingStageProcess(matching_, t, matching_.heldGrey, matching_.heldCovered), t);
}

}  // namespace slidetrack
