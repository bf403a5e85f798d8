#pragma once
// The decisions a frame matcher takes on a whole interval: what its evidence names, where a
// new interval starts, and which pictures stay with an original.

#include <cstdint>
#include <vector>

#include <opencv2/core.hpp>

#include "matching/frame_matcher.h"

namespace slidetrack {

// The original the interval's frames decided last: its record's match; -1 when none.
int frameMatcherRecordMatch(const std::vector<int>& decided);

// The interval's decision on acc; an original out of the deck's order needs clearer evidence:
// one that is not among the originals is nearest to some other slide of its template by less.
// verdict, when given, tells what decided it.
EvidenceDecision frameMatcherDecideInterval(FrameMatcher& matcher, const EvidenceAccumulator& acc,
                                            IntervalVerdict* verdict = nullptr);

// Keeps the interval's pictures for the next interval that names original k.
void frameMatcherKeepShown(FrameMatcher& matcher, int k);

// Starts the interval's evidence anew with from, the frames since the slide the record showed
// ended; the record's pictures stay with its original.
void frameMatcherStartAnew(FrameMatcher& matcher, EvidenceAccumulator& from,
                           const cv::Mat& features, const std::vector<uint8_t>& shows);

// The interval's decision once the frame's evidence is in.
FrameMatch frameMatcherDecideWithFrame(FrameMatcher& matcher, FrameMatch match);

}  // namespace slidetrack
