#include "matching/slide_matcher.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "matching/original_library.h"

namespace slidetrack {

namespace {

const double kVoteDistance = 0.3;
const double kShareMargin = 1.1;

// Squared distances of one frame window to that window of every original, the originals
// side by side in vector lanes. Float sums are plenty for rows of unit length, and a
// distance along one axis comes out exact, so the cuts at 0.3 and at the margin fall
// where the values say.
__attribute__((target_clones("avx2", "default"))) void windowDistances(
    const float* __restrict frame, const float* __restrict byWindow, int count, int binCount,
    float* __restrict sums) {
  for (int k = 0; k < count; ++k) sums[k] = 0.0f;
  for (int b = 0; b < binCount; ++b) {
    const float f = frame[b];
    const float* o = byWindow + static_cast<size_t>(b) * count;
    for (int k = 0; k < count; ++k) {
      const float v = f - o[k];
      sums[k] += v * v;
    }
  }
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
  // squares[j * count + k]: window j against original k. Kept between calls.
  thread_local std::vector<float> squares;
  squares.resize(static_cast<size_t>(featureCount) * count);
  const float* frame = frameFeatures.ptr<float>(0);
  for (int j = 0; j < featureCount; ++j) {
    windowDistances(frame + static_cast<size_t>(j) * binCount, byWindow->ptr<float>(j * binCount),
                    count, binCount, squares.data() + static_cast<size_t>(j) * count);
  }

  thread_local std::vector<char> near;
  near.resize(count);
  for (int j = 0; j < featureCount; ++j) {
    const float* d2 = squares.data() + static_cast<size_t>(j) * count;
    float least = d2[0];
    for (int k = 1; k < count; ++k) least = std::min(least, d2[k]);
    const float nearest = std::sqrt(least);
    if (!(nearest < kVoteDistance)) continue;
    // The margin is applied in double and compared in float, like a float threshold.
    const float limit = static_cast<float>(kShareMargin * nearest);
    // Only squares near the limit's need a root to tell; the others are far beyond it.
    const float beyond = limit * limit * 1.0001f;
    int marked = 0;
    for (int k = 0; k < count; ++k) {
      near[k] = d2[k] <= beyond && !(std::sqrt(d2[k]) > limit);
      marked += near[k];
    }
    const double share = 1.0 / marked;
    for (int k = 0; k < count; ++k) {
      if (near[k]) votes[k] = static_cast<float>(share + votes[k]);
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

}  // namespace slidetrack
