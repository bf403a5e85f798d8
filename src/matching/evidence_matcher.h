#pragma once
// Matching by evidence: the frame's distance to every original summed over the windows
// where the originals differ, accumulated over the whole slide interval, and accepted
// only when the nearest original also explains most of what the frame shows.
//
// A window counts as empty when its gradients are faint for the picture (its row then
// reads as zero, since unit scaling turns faint noise into a full-length row). Windows
// where all originals look alike add the same to every original, so title bars, footers
// and empty background decide nothing. Windows no original explains (a speaker, ink,
// content of a slide that is not among the originals) and windows under a covering mask
// take no part in the comparison.

#include <cstdint>
#include <vector>

#include <opencv2/core.hpp>

#include "matching/matcher_options.h"

namespace slidetrack {

struct OriginalSlideLibrary;

struct EvidenceLibrary {
  int count = 0;
  int windows = 0;
  int bins = 0;
  std::vector<float> byWindow;  // (j * bins + b) * count + k; empty windows zero
  // The same with the rows of windows just under an original's empty limit: what frames are
  // measured against. (Whether originals differ is told on byWindow alone.)
  std::vector<float> toFrames;
  std::vector<uint8_t> content;  // j * count + k: 1 when original k shows something in j
  std::vector<uint8_t> alike;    // per window: 1 when every original looks the same there
  // Per window, the capped squared distance between the two originals evidenceDecide last
  // told apart: the nearest two stay the same over most of an interval, and gathering
  // their bins from byWindow misses the cache.
  mutable int pairA = -1, pairB = -1;
  mutable std::vector<float> pairApart;
};

// Needs the library's strengths; without them every non-zero row counts as content.
void evidenceLibraryBuild(const OriginalSlideLibrary& library, EvidenceLibrary& out);

struct EvidenceAccumulator {
  std::vector<double> cost;      // per original: summed squared distances, capped at 1
  std::vector<double> fit;       // per original: content windows it explains
  std::vector<double> support;   // per original: windows with content in it or the frame
  std::vector<double> fitApart;  // the same two over the windows where originals differ
  std::vector<double> supportApart;
  std::vector<int> windowFrames;  // per window: frames in which it took part
  int frames = 0;
};

void evidenceAccumulatorReset(const EvidenceLibrary& library, EvidenceAccumulator& acc);

// 1 for the windows whose strength shows content: above a floor and above a share of the
// picture's strong windows, so a dim camera picture and a crisp original read alike. limit, when
// given, receives the strength from which a window shows content.
void evidenceContentWindows(const float* strengths, int windows, std::vector<uint8_t>& content,
                            float* limit = nullptr);

// Adds one frame: its feature matrix (library.windows x library.bins CV_32FC1), the
// windowStrengths of its feature image and, when known, the covered windows (empty: none).
void evidenceAddFrame(const EvidenceLibrary& library, const cv::Mat& features,
                      const std::vector<float>& strengths, const std::vector<uint8_t>& covered,
                      EvidenceAccumulator& acc);

// Adds the evidence of from to into; with sign -1 takes back evidence merged before.
void evidenceAccumulatorMerge(const EvidenceAccumulator& from, EvidenceAccumulator& into,
                              int sign = 1);

struct EvidenceDecision {
  int index = 0;          // the nearest original
  bool matched = false;   // margin and fit both reached
  double margin = 0;      // share of the evidence between nearest and runner-up for nearest
  bool compared = false;  // the frames were seen where the two nearest differ
  double fit = 0;         // share of the content windows the nearest explains, over the windows
                          // where originals differ when there are enough of them
};

EvidenceDecision evidenceDecide(const EvidenceLibrary& library, const EvidenceAccumulator& acc,
                                const MatcherOptions& options);

// The share of the evidence between originals a and b that sides with a (negative: with b),
// over the windows that took part; 0 when the frames did not see them apart.
double evidencePairMargin(const EvidenceLibrary& library, const EvidenceAccumulator& acc, int a,
                          int b);

}  // namespace slidetrack
