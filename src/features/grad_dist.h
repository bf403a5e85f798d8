#pragma once
// Gradient-distribution features: orientation histograms of a grid of windows on the
// levels of an image pyramid, one unit-length row per window.

#include <array>
#include <memory>
#include <vector>

#include <opencv2/core.hpp>

#include "features/feature_options.h"

namespace slidetrack {

struct GaussianWindowWeight {
  cv::Mat mask;     // windowSize x windowSize CV_32FC1 Gaussian bell
  cv::Mat scratch;  // mask times the magnitudes of the current window
  // The bell along one axis: mask(r, c) is profile[r] * profile[c] up to float rounding.
  std::vector<float> profile;
  int size = 0;
};

// Per level: image, x derivative, y derivative, magnitude, angle in degrees.
struct GradientPyramid {
  std::vector<std::array<cv::Mat, 5>> levels;
};

struct GradDistExtractor {
  int windowSize = 0;
  float stepRatio = 0.f;
  int levelCount = 0;
  int binCount = 0;
  std::unique_ptr<GaussianWindowWeight> weight;
  std::unique_ptr<GradientPyramid> pyramid;
  cv::Mat features;           // own result, used when the caller gives no output matrix
  std::vector<cv::Mat> bins;  // per level: the orientation bin of every pixel
  std::vector<float> sums;    // window sums along image rows, kept between extractions
};

std::unique_ptr<GradDistExtractor> zorGllfGradDistCreate();
int zorGllfGradDistInit(GradDistExtractor* extractor, int levelCount, int binCount, float stepRatio,
                        int windowSize);
// featureCount for an image of height x width; level < 0 sums all levels.
int zorGllfGradDistGetSize(const GradDistExtractor* extractor, int height, int width, int level,
                           int* rowsOfWindows = nullptr, int* windowsPerRow = nullptr,
                           double* step = nullptr);
int zorGllfGradDistGetLength(const GradDistExtractor* extractor);
// Fills output (or the extractor's own matrix) from an 8-bit grey image. Returns the
// filled matrix, or nullptr when output has the wrong shape.
cv::Mat* zorGllfGradDistExtract(GradDistExtractor* extractor, const cv::Mat& image,
                                cv::Mat* output);
void zorGllfGradDistRelease(std::unique_ptr<GradDistExtractor>& extractor);

// Brings a presentation or original slide image to the localWidth x localHeight grey
// feature image. Allocates target only when it does not have that shape yet.
// A single-channel source is smoothed in place.
cv::Mat& featureImagePrepare(cv::Mat& source, cv::Mat& target, const FeatureOptions& options);
// The same feature image, bit for bit, leaving the source as it is. For a grey source
// this is the cheaper call: only the pixels the decimation keeps are smoothed.
cv::Mat& featureImagePrepareKeepingSource(const cv::Mat& source, cv::Mat& target,
                                          const FeatureOptions& options);

}  // namespace slidetrack
