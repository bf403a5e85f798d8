// The feature extractor: window weight and single-window histograms over the gradient
// pyramid, then the grid arithmetic, row layout and working images of whole extractions.

#include <gtest/gtest.h>

#include <cmath>

#include <opencv2/core.hpp>

#include "features/gaussian_window.h"
#include "features/grad_dist.h"
#include "features/gradient_pyramid.h"
#include "features/window_histogram.h"
#include "images.h"

using namespace slidetrack;

namespace {

// Histogram of a 31 x 31 window centred on a straight edge through a 64 x 64 image.
cv::Mat edgeHistogram(bool vertical, bool brightFirst) {
  cv::Mat image(64, 64, CV_8UC1, cv::Scalar(brightFirst ? 200 : 40));
  image(vertical ? cv::Rect(32, 0, 32, 64) : cv::Rect(0, 32, 64, 32)).setTo(brightFirst ? 40 : 200);
  std::unique_ptr<GradientPyramid> pyramid;
  gradientPyramidCompute(pyramid, image, 1, 3);
  auto weight = gaussianWindowWeightCreate(31);
  cv::Mat row = cv::Mat::zeros(1, 8, CV_32FC1);
  const auto& level = pyramid->levels[0];
  EXPECT_TRUE(windowOrientationHistogram(level[kMagnitude], level[kAngle], cv::Rect(17, 17, 31, 31),
                                         row, &weight->mask, &weight->scratch));
  return row;
}

std::unique_ptr<GradDistExtractor> extractor(int levels, float ratio, int window) {
  auto e = zorGllfGradDistCreate();
  EXPECT_EQ(zorGllfGradDistInit(e.get(), levels, 8, ratio, window), 1);
  return e;
}

}  // namespace

// The window's weight is a bell peaking at its centre. Where bins start is the extraction
// equivalence test's, against its reference.
TEST(WindowHistogram, EdgeDirectionsAFullCircleAndTheBell) {
  // Dark left: 0 degrees; brighter below: 90; then 180 and 270, in 45.125-degree bins.
  const int edgeBins[] = {0, 1, 3, 5};
  for (int i = 0; i < 4; ++i) {
    cv::Mat expected = cv::Mat::zeros(1, 8, CV_32FC1);
    expected.at<float>(edgeBins[i]) = 1.0f;
    EXPECT_LT(cv::norm(edgeHistogram(i % 2 == 0, i >= 2), expected, cv::NORM_INF), 1e-6) << i;
  }
  cv::Mat magnitude(20, 20, CV_32FC1, cv::Scalar(1)), angle(20, 20, CV_32FC1, cv::Scalar(360));
  for (int bins : {1, 8, 361}) {  // a full circle stays in the last bin
    cv::Mat row = cv::Mat::zeros(1, bins, CV_32FC1);
    ASSERT_TRUE(windowOrientationHistogram(magnitude, angle, {2, 2, 5, 5}, row, nullptr, nullptr));
    EXPECT_FLOAT_EQ(row.at<float>(bins - 1), 1.0f) << bins;
  }
  auto weight = gaussianWindowWeightCreate(32);  // an even window still peaks at size / 2
  ASSERT_EQ(weight->scratch.size(), cv::Size(32, 32));
  cv::Point peak;
  cv::minMaxLoc(weight->mask, nullptr, nullptr, nullptr, &peak);
  EXPECT_EQ(peak, cv::Point(16, 16));
  // sigma 2.74 for 31: neighbours of the centre fall by exp(-1 / (2 sigma^2)).
  weight = gaussianWindowWeightCreate(31);
  EXPECT_NEAR(weight->mask.at<float>(15, 16) / weight->mask.at<float>(15, 15),
              std::exp(-1 / (2 * 2.7400 * 2.7400)), 1e-4);
}

// The defaults' grid, and grids whose windows end on the border: which rows of those hold
// windows, and that the others stay zero, is the extraction equivalence test's.
TEST(GradDistGrid, DefaultSettingsGridAndWindowsEndingOnTheBorder) {
  // The float32 ratio the run derives from the defaults lies just above 289/930.
  auto e = extractor(2, 0.31075269f, 31);
  int rows = 0, cols = 0;
  double step = 0;
  EXPECT_EQ(zorGllfGradDistGetSize(e.get(), 240, 320, -1, &rows, &cols, &step), 825);
  EXPECT_EQ(cv::Size(cols, rows), cv::Size(30, 22));
  EXPECT_NEAR(step, 9.6333334, 1e-6);
  EXPECT_EQ(zorGllfGradDistGetSize(e.get(), 240, 320, 1), 165);

  cv::Mat features(825, 8, CV_32FC1, cv::Scalar(5));
  ASSERT_EQ(zorGllfGradDistExtract(e.get(), noiseImage({320, 240}, 7), &features), &features);
  for (int r = 0; r < 825; ++r) {
    // Level 1 is 160 x 120: only windows with x <= 128 and y <= 88 fit.
    const bool inside = r < 660 || ((r - 660) % 15 < 14 && (r - 660) / 15 < 10);
    EXPECT_NEAR(cv::norm(features.row(r)), inside ? 1.0 : 0.0, 1e-5) << r;
  }
  // A uniform picture has no gradients, so no features.
  ASSERT_NE(zorGllfGradDistExtract(e.get(), cv::Mat(240, 320, CV_8UC1, cv::Scalar(9)), &features),
            nullptr);
  EXPECT_EQ(cv::countNonZero(features), 0);
  EXPECT_TRUE(e->features.empty());  // an output was given every time

  // 64 x 64, window 32, step 16: a 3 x 3 grid whose last row and column end on the border.
  e = extractor(2, 0.5f, 32);
  ASSERT_EQ(zorGllfGradDistGetSize(e.get(), 64, 64, -1, &rows, &cols), 11);
  EXPECT_EQ(cv::Size(cols, rows), cv::Size(3, 3));
  // 37 x 50 windows of one pixel: 1850 + 462 rows, of which level 1 fills only 18 x 25.
  e = extractor(2, 1.0f, 1);
  EXPECT_EQ(zorGllfGradDistGetSize(e.get(), 37, 50, -1), 2312);
  // Smaller than a window: two negative counts must not multiply into windows.
  e = extractor(2, 0.5f, 32);
  rows = cols = -5;
  EXPECT_EQ(zorGllfGradDistGetSize(e.get(), 8, 8, -1, &rows, &cols), 0);
  EXPECT_EQ(rows | cols, 0);
}
