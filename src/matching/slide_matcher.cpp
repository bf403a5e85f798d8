#include "slide_matcher.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "original_library.h"

namespace {

const double kVoteDistance = 0.3;
const double kShareMargin = 1.1;

// Distances of one frame window to that window of every original: each original's
// squared distance summed in double in groups of four bins, as the library's L2 norm of a
// float difference does, so the votes equal a per-row norm computation bit for bit. The
// originals run side by side in vector lanes.
__attribute__((target_clones("avx2", "default"))) void windowDistances(
    const float* __restrict frame, const float* __restrict byWindow, int count, int binCount,
    double* __restrict sums, float* __restrict distances) {
  for (int k = 0; k < count; ++k) sums[k] = 0.0;
  int b = 0;
  for (; b + 4 <= binCount; b += 4) {
    const float f0 = frame[b], f1 = frame[b + 1], f2 = frame[b + 2], f3 = frame[b + 3];
    const float* o0 = byWindow + static_cast<size_t>(b) * count;
    const float* o1 = o0 + count;
    const float* o2 = o1 + count;
    const float* o3 = o2 + count;
    for (int k = 0; k < count; ++k) {
      const double v0 = f0 - o0[k], v1 = f1 - o1[k], v2 = f2 - o2[k], v3 = f3 - o3[k];
      sums[k] += v0 * v0 + v1 * v1 + v2 * v2 + v3 * v3;
    }
  }
  for (; b < binCount; ++b) {
    const float f = frame[b];
    const float* o = byWindow + static_cast<size_t>(b) * count;
    for (int k = 0; k < count; ++k) {
      const double v = f - o[k];
      sums[k] += v * v;
    }
  }
  for (int k = 0; k < count; ++k) distances[k] = static_cast<float>(std::sqrt(sums[k]));
}

}  // namespace

int slideMatchScore(const OriginalSlideLibrary& library, const cv::Mat& frameFeatures,
                    double* bestVote, cv::Mat& voteRow) {
  const int count = library.count;
  const int featureCount = library.featureCount;
  const int binCount = library.binCount;
  if (count < 1) {
    if (bestVote) *bestVote = 0.0;
    return -1;
  }
  if (voteRow.rows != 1 || voteRow.cols != count || voteRow.type() != CV_32FC1) {
    voteRow.create(1, count, CV_32FC1);
  }
  voteRow.setTo(0.0);
  float* votes = voteRow.ptr<float>(0);
  // A frame or library of other settings cannot be compared window by window.
  if (frameFeatures.rows != featureCount || frameFeatures.cols != binCount ||
      frameFeatures.type() != CV_32FC1 || !frameFeatures.isContinuous() ||
      library.features.rows != count * featureCount || library.features.cols != binCount ||
      library.features.type() != CV_32FC1 || !library.features.isContinuous()) {
    if (bestVote) *bestVote = 0.0;
    return -1;
  }

  const cv::Mat* byWindow = &library.byWindow;
  thread_local OriginalSlideLibrary arranged;  // for a library made without the layout
  if (byWindow->rows != featureCount * binCount || byWindow->cols != count ||
      byWindow->type() != CV_32FC1 || !byWindow->isContinuous()) {
    arranged.count = count;
    arranged.featureCount = featureCount;
    arranged.binCount = binCount;
    arranged.features = library.features;
    originalLibraryArrangeByWindow(arranged);
    arranged.features.release();
    byWindow = &arranged.byWindow;
  }
  // distances[j * count + k]: window j against original k. Kept between calls.
  thread_local std::vector<float> distances;
  thread_local std::vector<double> sums;
  distances.resize(static_cast<size_t>(featureCount) * count);
  sums.resize(count);
  const float* frame = frameFeatures.ptr<float>(0);
  for (int j = 0; j < featureCount; ++j) {
    windowDistances(frame + static_cast<size_t>(j) * binCount, byWindow->ptr<float>(j * binCount),
                    count, binCount, sums.data(),
                    distances.data() + static_cast<size_t>(j) * count);
  }

  for (int j = 0; j < featureCount; ++j) {
    const float* d = distances.data() + static_cast<size_t>(j) * count;
    float nearest = d[0];
    for (int k = 1; k < count; ++k) nearest = std::min(nearest, d[k]);
    if (!(nearest < kVoteDistance)) continue;
    // The margin is applied in double and compared in float, like a float threshold.
    const float limit = static_cast<float>(kShareMargin * nearest);
    int marked = 0;
    for (int k = 0; k < count; ++k) marked += !(d[k] > limit);
    const double share = 1.0 / marked;
    for (int k = 0; k < count; ++k) {
      if (!(d[k] > limit)) votes[k] = static_cast<float>(share + votes[k]);
    }
  }

  int best = 0;
  for (int k = 1; k < count; ++k) {
    if (votes[k] > votes[best]) best = k;
  }
  if (bestVote) *bestVote = votes[best];
  return best;
}

int slideMatchDecide(const cv::Mat& matchAccumulator, double limit, int* index, double* ratio) {
  float best = 0.0f;
  float second = 0.0f;
  int bestIndex = -1;
  int secondIndex = -1;
  cv::Mat values;
  if (!matchAccumulator.empty() && matchAccumulator.type() == CV_32FC1) {
    values = matchAccumulator.isContinuous() ? matchAccumulator : matchAccumulator.clone();
  }
  const int count = static_cast<int>(values.total());
  const float* data = values.empty() ? nullptr : values.ptr<float>(0);
  for (int i = 0; i < count; ++i) {
    const float v = data[i];
    if (v > second) {
      second = v;
      secondIndex = i;
    }
    if (second > best) {
      std::swap(best, second);
      std::swap(bestIndex, secondIndex);
    }
  }
  // No votes at all: no match, reported against the first original with ratio 1.
  if (bestIndex < 0 || !(best > 0.0f)) {
    if (index) *index = 0;
    if (ratio) *ratio = 1.0;
    return 0;
  }
  const double r = second / best;
  if (index) *index = bestIndex;
  if (ratio) *ratio = r;
  return r < limit ? 1 : 0;
}
