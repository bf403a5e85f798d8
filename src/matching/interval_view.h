#pragma once
// What each feature window of a slide interval showed when it was first seen uncovered.
// Frames name another original within an interval only when the windows whose picture has
// changed since side with it: a window that looked the same all along has already voted,
// and it must not decide alone once a speaker hides the windows that outvoted it.

#include <cstdint>
#include <deque>
#include <vector>

#include <opencv2/core.hpp>

#include "matching/evidence_matcher.h"
#include "matching/matcher_options.h"

namespace slidetrack {

struct IntervalView {
  int bins = 0;
  std::vector<float> rows;     // window x bins: the row as first seen
  std::vector<uint8_t> seen;   // per window: 1 once seen uncovered
  std::vector<uint8_t> shows;  // per window: it showed content then
};

void intervalViewReset(IntervalView& view, int windows, int bins);

// Takes the windows of features (windows x bins, CV_32FC1) that covered (empty: none) leaves
// visible, shows[j] telling which show content: the first view of each is kept, and
// unchanged[j] is set to 1 for a covered window, one empty then and now, and one whose row
// lies within changeDistance (squared) of its first view. A window seen now for the first
// time counts as changed.
void intervalViewCompare(IntervalView& view, const cv::Mat& features,
                         const std::vector<uint8_t>& covered, const std::vector<uint8_t>& shows,
                         float changeDistance, std::vector<uint8_t>& unchanged);

// Whether the changed windows of frames that keep showing candidate back it: against the
// interval's original current they side with candidate by matchMargin; when it is the same one
// (its evidence starting anew), they name it too. Always with matchChangeDistance 0.
bool changedWindowsBack(const EvidenceLibrary& library, const EvidenceAccumulator& changed,
                        int candidate, int current, const MatcherOptions& options);

// The frames just before the last runFrames of recent (the frames alone, newest last) that did
// not see candidate and current apart, back to one that did: a change hidden behind the
// speaker happened among them, and the first is the earliest it can have shown. 0 with
// matchChangeDistance 0, when candidate is current, or when no frame before saw them apart.
int blindFramesBefore(const EvidenceLibrary& library, const std::deque<EvidenceAccumulator>& recent,
                      int runFrames, int candidate, int current, const MatcherOptions& options);

}  // namespace slidetrack
