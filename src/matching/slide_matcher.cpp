#include "slide_matcher.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "original_library.h"

namespace {

const double kVoteDistance = 0.3;
const double kShareMargin = 1.1;

// Squared distance summed in double in groups of four, as the library's L2 norm of a
// float difference does, so the votes equal a per-row norm computation bit for bit.
inline double squaredDistance(const float* a, const float* b, int n) {
  double s = 0;
  int i = 0;
  for (; i + 4 <= n; i += 4) {
    const double v0 = a[i] - b[i], v1 = a[i + 1] - b[i + 1];
    const double v2 = a[i + 2] - b[i + 2], v3 = a[i + 3] - b[i + 3];
    s += v0 * v0 + v1 * v1 + v2 * v2 + v3 * v3;
  }
  for (; i < n; ++i) {
    const double v = a[i] - b[i];
    s += v * v;
  }
  return s;
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

  // distances[j * count + k]: window j against original k. Kept between calls.
  thread_local std::vector<float> distances;
  distances.resize(static_cast<size_t>(featureCount) * count);
  const float* frame = frameFeatures.ptr<float>(0);
  const float* original = library.features.ptr<float>(0);
  for (int k = 0; k < count; ++k) {
    float* column = distances.data() + k;
    for (int j = 0; j < featureCount; ++j) {
      const double s = squaredDistance(frame + j * binCount, original, binCount);
      column[static_cast<size_t>(j) * count] = static_cast<float>(std::sqrt(s));
      original += binCount;
    }
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
