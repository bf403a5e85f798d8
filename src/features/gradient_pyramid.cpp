#include "features/gradient_pyramid.h"

#include <algorithm>
#include <vector>

#include <opencv2/imgproc.hpp>

namespace slidetrack {

namespace {

void createSlots(GradientPyramid& pyramid, cv::Size size) {
  for (size_t i = 0; i < pyramid.levels.size(); ++i) {
    for (cv::Mat& slot : pyramid.levels[i]) {
      slot.create(size.height >> i, size.width >> i, CV_32FC1);
    }
  }
}

// Levels whose values are multiples of 1/256 below 256: the 8-bit image and its first
// pyrDown level, whose kernel weights sum to 256.
constexpr int kExactLevels = 2;

// cv::Sobel's x and y derivatives (3x3, replicated borders) in one pass. On the exact
// levels every sum has at most 19 significant bits, so float adds them without rounding
// in any order and the result is the library's bit for bit, signs of zero included
// (no sum of the non-negative samples is -0).
__attribute__((target_clones("avx2", "default"))) void sobelPair(const cv::Mat& image, cv::Mat& gx,
                                                                 cv::Mat& gy) {
  const int h = image.rows, w = image.cols;
  thread_local std::vector<float> smoothed, differed;  // one row of each, padded by one
  smoothed.resize(w + 2);
  differed.resize(w + 2);
  float* s = smoothed.data() + 1;
  float* d = differed.data() + 1;
  for (int y = 0; y < h; ++y) {
    const float* above = image.ptr<float>(std::max(y - 1, 0));
    const float* row = image.ptr<float>(y);
    const float* below = image.ptr<float>(std::min(y + 1, h - 1));
    for (int x = 0; x < w; ++x) {
      s[x] = above[x] + 2 * row[x] + below[x];
      d[x] = below[x] - above[x];
    }
    s[-1] = s[0];
    s[w] = s[w - 1];
    d[-1] = d[0];
    d[w] = d[w - 1];
    float* outX = gx.ptr<float>(y);
    float* outY = gy.ptr<float>(y);
    for (int x = 0; x < w; ++x) {
      outX[x] = s[x + 1] - s[x - 1];
      outY[x] = d[x - 1] + 2 * d[x] + d[x + 1];
    }
  }
}

}  // namespace

GradientPyramid* gradientPyramidCompute(std::unique_ptr<GradientPyramid>& pyramid,
                                        const cv::Mat& image, int levelCount, int aperture) {
  if (image.empty() || levelCount < 1) return nullptr;
  if (pyramid && static_cast<int>(pyramid->levels.size()) != levelCount) pyramid.reset();
  if (!pyramid) {
    pyramid = std::make_unique<GradientPyramid>();
    pyramid->levels.resize(levelCount);
  }
  cv::Mat& base = pyramid->levels[0][kLevelImage];
  if (!base.empty() && base.size() != image.size()) {
    for (auto& level : pyramid->levels) {
      for (cv::Mat& slot : level) slot.release();
    }
  }
  if (base.empty()) createSlots(*pyramid, image.size());

  const int ksize = aperture < 4 ? 3 : (aperture | 1);
  for (int i = 0; i < levelCount; ++i) {
    auto& level = pyramid->levels[i];
    if (i == 0) {
      image.convertTo(level[kLevelImage], CV_32F);
    } else {
      const cv::Mat& below = pyramid->levels[i - 1][kLevelImage];
      cv::pyrDown(below, level[kLevelImage], level[kLevelImage].size());
    }
    // Replicated borders, as the classic C Sobel used.
    if (ksize == 3 && i < kExactLevels && image.type() == CV_8UC1) {
      sobelPair(level[kLevelImage], level[kGradX], level[kGradY]);
    } else {
      cv::Sobel(level[kLevelImage], level[kGradX], CV_32F, 1, 0, ksize, 1, 0, cv::BORDER_REPLICATE);
      cv::Sobel(level[kLevelImage], level[kGradY], CV_32F, 0, 1, ksize, 1, 0, cv::BORDER_REPLICATE);
    }
    cv::cartToPolar(level[kGradX], level[kGradY], level[kMagnitude], level[kAngle], true);
  }
  return pyramid.get();
}

}  // namespace slidetrack
