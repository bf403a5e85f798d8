#include "matching/evidence_matcher.h"

#include <algorithm>
#include <cmath>

#include "matching/original_library.h"

namespace slidetrack {

namespace {

// Gradient strength (weighted mean Sobel magnitude) below which a window is empty
// whatever the picture, and the share of the picture's strong windows below which it
// is empty too.
const float kEmptyFloor = 6.0f;
const float kEmptyShare = 0.12f;
// Share of an original's empty limit from which an empty window keeps its row for distances.
const float kFaintShare = 0.5f;
// A window whose nearest original is farther than this (squared) is explained by none.
const float kUnexplained = 0.5f;
// Squared distance up to which an original explains a window.
const float kExplained = 0.36f;
// Two originals closer than this many windows' worth over a frame are the same picture.
const double kSamePicture = 0.5;
// Squared distance within which every original's window counts as the same picture part
// (a shared title bar or footer).
const float kAlike = 0.08f;
// The fit is taken over the windows where originals differ when they are at least this
// share of the windows it would be taken over otherwise: a slide that is not among the
// originals but shares their template then explains little.
const double kApartShare = 0.1;
// From this margin on, the fit needed is this share of matchFit.
const double kClearMargin = 0.6;
const double kClearFitShare = 0.75;

// Squared distances of one frame window to that window of every original, capped at 1.
__attribute__((target_clones("avx2", "default"))) void cappedDistances(
    const float* __restrict frame, const float* __restrict byWindow, int count, int bins,
    float* __restrict out) {
  for (int k = 0; k < count; ++k) out[k] = 0.0f;
  for (int b = 0; b < bins; ++b) {
    const float f = frame[b];
    const float* o = byWindow + static_cast<size_t>(b) * count;
    for (int k = 0; k < count; ++k) {
      const float v = f - o[k];
      out[k] += v * v;
    }
  }
  for (int k = 0; k < count; ++k) out[k] = std::min(out[k], 1.0f);
}

}  // namespace

void evidenceContentWindows(const float* strengths, int windows, std::vector<uint8_t>& content,
                            float* limitOut) {
  content.assign(std::max(0, windows), 0);
  if (windows <= 0) return;
  std::vector<float> sorted(strengths, strengths + windows);
  const size_t at = sorted.size() * 9 / 10;
  std::nth_element(sorted.begin(), sorted.begin() + at, sorted.end());
  const float limit = std::max(kEmptyFloor, kEmptyShare * sorted[at]);
  if (limitOut) *limitOut = limit;
  for (int j = 0; j < windows; ++j) content[j] = strengths[j] >= limit ? 1 : 0;
}

void evidenceLibraryBuild(const OriginalSlideLibrary& library, EvidenceLibrary& out) {
  out.count = library.count;
  out.pairA = out.pairB = -1;
  out.windows = library.featureCount;
  out.bins = library.binCount;
  const int n = out.count, w = out.windows, bins = out.bins;
  out.byWindow.assign(static_cast<size_t>(w) * bins * n, 0.f);
  out.toFrames.assign(out.byWindow.size(), 0.f);
  out.content.assign(static_cast<size_t>(w) * n, 0);
  if (n < 1 || library.features.rows != n * w || library.features.cols != bins) return;
  const bool withStrengths = library.strengths.rows == n && library.strengths.cols == w;
  std::vector<uint8_t> content;
  std::vector<float> limits(n, 0.f);
  for (int k = 0; k < n; ++k) {
    if (withStrengths)
      evidenceContentWindows(library.strengths.ptr<float>(k), w, content, &limits[k]);
    for (int j = 0; j < w; ++j) {
      const float* row = library.features.ptr<float>(k * w + j);
      bool any = false;
      for (int b = 0; b < bins; ++b) any = any || row[b] != 0.f;
      const bool shows = any && (!withStrengths || content[j]);
      out.content[static_cast<size_t>(j) * n + k] = shows ? 1 : 0;
      // Just under the empty limit the window still holds the picture's faint structure: it
      // keeps its row, so that a frame showing that structure a little stronger (another
      // blur, another share of strong windows) is near it rather than a whole window away.
      const bool faint = withStrengths && any && !shows &&
                         library.strengths.ptr<float>(k)[j] >= kFaintShare * limits[k];
      for (int b = 0; b < bins && (shows || faint); ++b) {
        const size_t at = (static_cast<size_t>(j) * bins + b) * n + k;
        out.toFrames[at] = row[b];
        if (shows) out.byWindow[at] = row[b];
      }
    }
  }
  // With one original nothing differs; every window then counts.
  out.alike.assign(w, 0);
  for (int j = 0; j < w && n > 1; ++j) {
    const uint8_t* shows = out.content.data() + static_cast<size_t>(j) * n;
    const float* at = out.byWindow.data() + static_cast<size_t>(j) * bins * n;
    bool alike = true;
    for (int k = 1; k < n && alike; ++k) {
      if (shows[k] != shows[0]) alike = false;
      float d = 0;
      for (int b = 0; b < bins; ++b) d += (at[b * n + k] - at[b * n]) * (at[b * n + k] - at[b * n]);
      alike = alike && d <= kAlike;
    }
    out.alike[j] = alike ? 1 : 0;
  }
}

void evidenceAccumulatorReset(const EvidenceLibrary& library, EvidenceAccumulator& acc) {
  acc.cost.assign(library.count, 0.0);
  acc.fit.assign(library.count, 0.0);
  acc.support.assign(library.count, 0.0);
  acc.fitApart.assign(library.count, 0.0);
  acc.supportApart.assign(library.count, 0.0);
  acc.windowFrames.assign(library.windows, 0);
  acc.frames = 0;
}

// The per-original counts run many originals a step, twice as many where the processor
// has the wider vectors; each original's sums keep their order.
__attribute__((target_clones("avx2", "default"))) void evidenceAddFrame(
    const EvidenceLibrary& library, const cv::Mat& features, const std::vector<float>& strengths,
    const std::vector<uint8_t>& covered, EvidenceAccumulator& acc) {
  const int n = library.count, w = library.windows, bins = library.bins;
  if (n < 1 || features.rows != w || features.cols != bins || features.type() != CV_32FC1 ||
      static_cast<int>(strengths.size()) != w)
    return;
  if (static_cast<int>(acc.cost.size()) != n || static_cast<int>(acc.windowFrames.size()) != w)
    evidenceAccumulatorReset(library, acc);
  thread_local std::vector<uint8_t> shows;
  thread_local std::vector<float> d2;
  // The frame's window counts, added to the accumulator's at the end: its counts are whole
  // numbers, so the sums are the same as one by one.
  thread_local std::vector<int> support, fit, supportApart, fitApart;
  for (std::vector<int>* count : {&support, &fit, &supportApart, &fitApart}) count->assign(n, 0);
  evidenceContentWindows(strengths.data(), w, shows);
  d2.resize(n);
  for (int j = 0; j < w; ++j) {
    if (!covered.empty() && covered[j]) continue;
    const uint8_t* original = library.content.data() + static_cast<size_t>(j) * n;
    if (shows[j]) {
      cappedDistances(features.ptr<float>(j),
                      library.toFrames.data() + static_cast<size_t>(j) * bins * n, n, bins,
                      d2.data());
    } else {
      // An empty frame window is the zero row: at 1 from content, at 0 from empty.
      bool anyContent = false;
      for (int k = 0; k < n; ++k) {
        d2[k] = original[k];
        anyContent = anyContent || original[k];
      }
      if (!anyContent) continue;  // empty everywhere: nothing to tell or to fit
    }
    const float nearest = *std::min_element(d2.begin(), d2.end());
    const bool explained = nearest <= kUnexplained;
    const bool apart = library.alike.empty() || !library.alike[j];
    const int all = shows[j] ? 1 : 0;
    for (int k = 0; k < n; ++k) {
      const int counts = all | original[k];
      const int fits = counts & (d2[k] <= kExplained ? 1 : 0);
      support[k] += counts;
      fit[k] += fits;
      supportApart[k] += apart ? counts : 0;
      fitApart[k] += apart ? fits : 0;
    }
    if (!explained) continue;
    for (int k = 0; k < n; ++k) acc.cost[k] += d2[k];
    ++acc.windowFrames[j];
  }
  for (int k = 0; k < n; ++k) {
    acc.support[k] += support[k];
    acc.fit[k] += fit[k];
    acc.supportApart[k] += supportApart[k];
    acc.fitApart[k] += fitApart[k];
  }
  ++acc.frames;
}

void evidenceAccumulatorMerge(const EvidenceAccumulator& from, EvidenceAccumulator& into,
                              int sign) {
  auto add = [sign](const std::vector<double>& a, std::vector<double>& b) {
    for (size_t i = 0; i < a.size() && i < b.size(); ++i) b[i] += sign * a[i];
  };
  add(from.cost, into.cost);
  add(from.fit, into.fit);
  add(from.support, into.support);
  add(from.fitApart, into.fitApart);
  add(from.supportApart, into.supportApart);
  for (size_t j = 0; j < from.windowFrames.size() && j < into.windowFrames.size(); ++j)
    into.windowFrames[j] += sign * from.windowFrames[j];
  into.frames += sign * from.frames;
}

EvidenceDecision evidenceDecide(const EvidenceLibrary& library, const EvidenceAccumulator& acc,
                                const MatcherOptions& options) {
  EvidenceDecision decision;
  const int n = library.count, w = library.windows, bins = library.bins;
  if (n < 1 || static_cast<int>(acc.cost.size()) != n || acc.frames < 1) return decision;
  int a = 0, b = -1;
  for (int k = 1; k < n; ++k) {
    if (acc.cost[k] < acc.cost[a]) {
      b = a;
      a = k;
    } else if (b < 0 || acc.cost[k] < acc.cost[b]) {
      b = k;
    }
  }
  decision.index = a;
  if (acc.supportApart[a] >= kApartShare * acc.support[a] && acc.supportApart[a] > 0)
    decision.fit = acc.fitApart[a] / acc.supportApart[a];
  else
    decision.fit = acc.support[a] > 0 ? acc.fit[a] / acc.support[a] : 0.0;
  // How far apart the two nearest are over the windows that took part (all of them with
  // seen = false), capped as above.
  if (b >= 0 && (library.pairA != a || library.pairB != b)) {
    library.pairApart.resize(w);
    for (int j = 0; j < w; ++j) {
      const float* at = library.byWindow.data() + static_cast<size_t>(j) * bins * n;
      float d = 0;
      for (int i = 0; i < bins; ++i) {
        const float v = at[i * n + a] - at[i * n + b];
        d += v * v;
      }
      library.pairApart[j] = std::min(d, 1.0f);
    }
    library.pairA = a;
    library.pairB = b;
  }
  auto apartOver = [&](bool seen) {
    double sum = 0;
    for (int j = 0; j < w && b >= 0; ++j) {
      if (seen && acc.windowFrames[j] == 0) continue;
      sum += (seen ? acc.windowFrames[j] : 1) * library.pairApart[j];
    }
    return sum;
  };
  const double apart = apartOver(true);
  // A single original, or two that are the same picture: nothing to tell apart, the
  // nearest is the match. Two that differ only where the frames did not show count as
  // untold. (No window took part in more than every frame, so a pair seen apart enough
  // is never one picture.)
  const bool compared = apart >= kSamePicture * acc.frames;
  decision.compared = compared;
  const bool same = !compared && apartOver(false) < kSamePicture;
  decision.margin = same ? 1.0 : compared ? (acc.cost[b] - acc.cost[a]) / apart : 0.0;
  decision.margin = std::clamp(decision.margin, 0.0, 1.0);
  // Frames far nearer one original than any other need less of them explained: a picture
  // or a dim slide loses many windows to the camera. Not so for a lone original.
  const bool clear = compared && decision.margin >= kClearMargin;
  decision.matched = decision.margin >= options.matchMargin &&
                     decision.fit >= options.matchFit * (clear ? kClearFitShare : 1.0);
  return decision;
}

double evidencePairMargin(const EvidenceLibrary& library, const EvidenceAccumulator& acc, int a,
                          int b) {
  const int n = library.count, w = library.windows, bins = library.bins;
  if (a < 0 || b < 0 || a >= n || b >= n || a == b || static_cast<int>(acc.cost.size()) != n ||
      static_cast<int>(acc.windowFrames.size()) != w || acc.frames < 1)
    return 0.0;
  double apart = 0;
  for (int j = 0; j < w; ++j) {
    if (acc.windowFrames[j] == 0) continue;
    const float* at = library.byWindow.data() + static_cast<size_t>(j) * bins * n;
    float d = 0;
    for (int i = 0; i < bins; ++i)
      d += (at[i * n + a] - at[i * n + b]) * (at[i * n + a] - at[i * n + b]);
    apart += acc.windowFrames[j] * std::min(d, 1.0f);
  }
  if (apart < kSamePicture * acc.frames) return 0.0;
  return std::clamp((acc.cost[b] - acc.cost[a]) / apart, -1.0, 1.0);
}

}  // namespace slidetrack
