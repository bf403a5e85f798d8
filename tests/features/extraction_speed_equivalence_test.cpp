// The fast extraction against the plain per-window computation kept here as reference:
// every feature equal up to float rounding, every zero row zero. The feature image's
// sampled smoothing must equal the full blur bit for bit.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include <opencv2/imgproc.hpp>

#include "features/feature_options.h"
#include "features/grad_dist.h"
#include "features/gradient_pyramid.h"
#include "images.h"
#include "lecture_scene.h"
#include "window_grid.h"

using namespace slidetrack;

namespace {

// One window at a time: weights by element-wise multiply, sums row by row, the
// library's L2 normalisation.
cv::Mat referenceFeatures(GradDistExtractor& e, const cv::Mat& image) {
  cv::Mat features =
      cv::Mat::zeros(zorGllfGradDistGetSize(&e, image.rows, image.cols, -1), e.binCount, CV_32FC1);
  std::unique_ptr<GradientPyramid> pyramid;
  gradientPyramidCompute(pyramid, image, e.levelCount, 3);
  const float factor = static_cast<float>(e.binCount) / 361.0f;
  const int size = e.windowSize;
  forEachGridWindow(e, image.rows, image.cols, [&](int k, int level, int x, int y) {
    const cv::Mat& mag = pyramid->levels[level][kMagnitude];
    const cv::Mat& angle = pyramid->levels[level][kAngle];
    if (x + size >= mag.cols || y + size >= mag.rows) return;
    const cv::Rect window(x, y, size, size);
    cv::Mat weights;
    cv::multiply(e.weight->mask, mag(window), weights);
    cv::Mat row = features.row(k);
    for (int r = 0; r < size; ++r)
      for (int c = 0; c < size; ++c) {
        const int bin =
            std::min(e.binCount - 1, static_cast<int>(angle(window).at<float>(r, c) * factor));
        row.at<float>(bin) += weights.at<float>(r, c);
      }
    cv::normalize(row, row, 1.0, 0.0, cv::NORM_L2);
  });
  return features;
}

// Largest difference of two feature matrices, or infinity when a row that is zero in one
// is not zero in the other.
double featureDifference(const cv::Mat& a, const cv::Mat& b) {
  if (a.size() != b.size() || a.type() != b.type()) return INFINITY;
  for (int r = 0; r < a.rows; ++r)
    if ((cv::countNonZero(a.row(r)) == 0) != (cv::countNonZero(b.row(r)) == 0)) return INFINITY;
  return cv::norm(a, b, cv::NORM_INF);
}

}  // namespace

TEST(ExtractionEquivalence, FastRowsMatchPerWindowReference) {
  const struct {
    int levels, bins, window;
    float ratio;
  } configs[] = {{2, 8, 31, 0.31075269f},  // the run's settings
                 {3, 5, 17, 0.5f},        {1, 12, 8, 0.37f},
                 {2, 300, 15, 0.9f},  // more bins than a bin image holds
                 {2, 8, 9, 1.7f},     // rows between the windows
                 {1, 8, 2, 1.0f}};    // a bell cut off by the window
  const cv::Size sizes[] = {{320, 240}, {97, 61}, {33, 33}};
  for (const auto& s : configs) {
    auto e = zorGllfGradDistCreate();
    zorGllfGradDistInit(e.get(), s.levels, s.bins, s.ratio, s.window);
    for (const cv::Size& size : sizes)
      for (int variant = 0; variant < 3; ++variant) {
        cv::Mat image = noiseImage(size, variant + 11);
        if (variant == 2) cv::cvtColor(drawSlide(3, size), image, cv::COLOR_BGR2GRAY);
        const cv::Mat expected = referenceFeatures(*e, image);
        const cv::Mat* fast = zorGllfGradDistExtract(e.get(), image, nullptr);
        ASSERT_EQ(fast == nullptr, expected.rows == 0);
        EXPECT_LE(fast ? featureDifference(*fast, expected) : 0.0, 1e-6)
            << s.bins << " bins, window " << s.window << ", " << size << ", variant " << variant;
      }
  }
}

// Colour and grey sources alike; a grey source is smoothed in place unless kept, and a
// target of the right shape is reused, so frames need no new image.
TEST(ExtractionEquivalence, SampledSmoothingEqualsFullBlurThenDecimation) {
  // Whole multiples of a target's width too (640, 480, 314, 471 and 1280), whose sampled
  // columns are evenly spaced.
  const cv::Size sources[] = {{1024, 768},  {640, 480}, {1280, 720}, {333, 250},
                              {321, 241},   {200, 150}, {100, 80},   {40, 30},
                              {2000, 1500}, {480, 390}, {314, 236},  {471, 354}};
  // A width of no whole number of vector steps leaves some columns to pick one by one.
  for (const cv::Size target : {cv::Size(320, 240), cv::Size(160, 130), cv::Size(157, 118)}) {
    const FeatureOptions settings{target.width, target.height};
    cv::Mat prepared(target, CV_8UC1);
    const uchar* reused = prepared.data;
    for (const cv::Size& size : sources)
      for (int variant = 0; variant < 3; ++variant) {
        const cv::Mat colour =
            variant == 1 ? noiseImage(size, size.width, CV_8UC3) : drawSlide(variant + 1, size);
        cv::Mat grey, expected;
        cv::cvtColor(colour, grey, cv::COLOR_BGR2GRAY);
        cv::Mat source = variant == 2 ? grey.clone() : colour;
        cv::GaussianBlur(grey, grey, cv::Size(0, 0), double(size.width) / target.width,
                         double(size.height) / target.height, cv::BORDER_REPLICATE);
        cv::resize(grey, expected, target, 0, 0, cv::INTER_NEAREST);
        // The call that keeps its source gives the same, also for a part of a larger image,
        // which the library smooths with the pixels around it as the call in place does.
        cv::Mat kept, inPlace;
        featureImagePrepareKeepingSource(source, kept, settings);
        EXPECT_TRUE(sameImage(kept, expected)) << size << " to " << target << ", kept " << variant;
        const cv::Rect inside({7, 3}, size);
        cv::Mat parent(size + cv::Size(20, 10), source.type(), cv::Scalar::all(7));
        source.copyTo(parent(inside));
        featureImagePrepareKeepingSource(parent(inside), kept, settings);
        EXPECT_TRUE(sameImage(parent(inside), source)) << size << " source changed";
        cv::Mat part = parent.clone()(inside);
        featureImagePrepare(part, inPlace, settings);
        EXPECT_TRUE(sameImage(kept, inPlace)) << size << " to " << target << ", part " << variant;
        featureImagePrepare(source, prepared, settings);
        EXPECT_TRUE(sameImage(prepared, expected)) << size << " to " << target << ", " << variant;
        EXPECT_TRUE(variant != 2 || sameImage(source, grey)) << size << " smoothed in place";
      }
    EXPECT_EQ(prepared.data, reused);
  }
}

// The pyramid's gradients are the library's Sobel bit for bit, signs of zero included, on
// the levels it computes itself and on those it leaves to the library.
TEST(ExtractionEquivalence, PyramidGradientsAreTheLibrarysSobel) {
  for (const cv::Size size : {cv::Size(97, 61), cv::Size(4, 37), cv::Size(41, 4)})
    for (int variant = 0; variant < 2; ++variant) {
      cv::Mat image = noiseImage(size, variant + 5);
      if (variant == 1) cv::cvtColor(drawSlide(2, size), image, cv::COLOR_BGR2GRAY);
      std::unique_ptr<GradientPyramid> pyramid;
      gradientPyramidCompute(pyramid, image, 3, 3);
      for (int level = 0; level < 3; ++level) {
        const auto& slots = pyramid->levels[level];
        for (const auto& [slot, dx] : {std::pair{kGradX, 1}, std::pair{kGradY, 0}}) {
          cv::Mat expected;
          cv::Sobel(slots[kLevelImage], expected, CV_32F, dx, 1 - dx, 3, 1, 0,
                    cv::BORDER_REPLICATE);
          EXPECT_EQ(std::memcmp(expected.data, slots[slot].data, expected.total() * 4), 0)
              << size << ", level " << level << ", variant " << variant << ", dx " << dx;
        }
      }
    }
}
