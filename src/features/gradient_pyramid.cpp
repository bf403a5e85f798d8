#include "features/gradient_pyramid.h"

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
    cv::Sobel(level[kLevelImage], level[kGradX], CV_32F, 1, 0, ksize, 1, 0, cv::BORDER_REPLICATE);
    cv::Sobel(level[kLevelImage], level[kGradY], CV_32F, 0, 1, ksize, 1, 0, cv::BORDER_REPLICATE);
    cv::cartToPolar(level[kGradX], level[kGradY], level[kMagnitude], level[kAngle], true);
  }
  return pyramid.get();
}

}  // namespace slidetrack
