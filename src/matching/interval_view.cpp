#include "matching/interval_view.h"

#include <algorithm>

namespace slidetrack {

void intervalViewReset(IntervalView& view, int windows, int bins) {
  view.bins = std::max(0, bins);
  view.rows.assign(static_cast<size_t>(std::max(0, windows)) * view.bins, 0.f);
  view.seen.assign(std::max(0, windows), 0);
  view.shows.assign(std::max(0, windows), 0);
}

void intervalViewCompare(IntervalView& view, const cv::Mat& features,
                         const std::vector<uint8_t>& covered, const std::vector<uint8_t>& shows,
                         float changeDistance, std::vector<uint8_t>& unchanged) {
  const int windows = static_cast<int>(view.seen.size());
  unchanged.assign(windows, 1);
  if (features.rows != windows || features.cols != view.bins || features.type() != CV_32FC1 ||
      static_cast<int>(shows.size()) != windows)
    return;
  for (int j = 0; j < windows; ++j) {
    if (!covered.empty() && covered[j]) continue;
    const float* row = features.ptr<float>(j);
    float* first = view.rows.data() + static_cast<size_t>(j) * view.bins;
    if (!view.seen[j]) {
      std::copy(row, row + view.bins, first);
      view.seen[j] = 1;
      view.shows[j] = shows[j];
      unchanged[j] = 0;
      continue;
    }
    if (shows[j] != view.shows[j]) {
      unchanged[j] = 0;
      continue;
    }
    if (!shows[j]) continue;
    float d = 0;
    for (int b = 0; b < view.bins; ++b) d += (row[b] - first[b]) * (row[b] - first[b]);
    unchanged[j] = d <= changeDistance ? 1 : 0;
  }
}

bool changedWindowsBack(const EvidenceLibrary& library, const EvidenceAccumulator& changed,
                        int candidate, int current, const MatcherOptions& options) {
  if (options.matchChangeDistance <= 0.f) return true;
  if (candidate == current) return evidenceDecide(library, changed, options).index == candidate;
  return evidencePairMargin(library, changed, candidate, current) >= options.matchMargin;
}

int blindFramesBefore(const EvidenceLibrary& library, const std::deque<EvidenceAccumulator>& recent,
                      int runFrames, int candidate, int current, const MatcherOptions& options) {
  if (options.matchChangeDistance <= 0.f || candidate == current) return 0;
  for (int i = static_cast<int>(recent.size()) - 1 - runFrames, blind = 0; i >= 0; --i, ++blind)
    if (evidencePairMargin(library, recent[i], candidate, current) < 0.0) return blind;
  return 0;
}

}  // namespace slidetrack
