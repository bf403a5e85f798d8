// The feature extractor: window weight and single-window histograms over the gradient
// pyramid, then the grid arithmetic, row layout and working images of whole extractions.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

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

cv::Mat texture(int rows, int cols) { return noiseImage({cols, rows}, 7); }

std::unique_ptr<GradDistExtractor> extractor(int levels, float ratio, int window) {
  auto e = zorGllfGradDistCreate();
  EXPECT_EQ(zorGllfGradDistInit(e.get(), levels, 8, ratio, window), 1);
  return e;
}

// Extracts into the extractor's own matrix; lists the rows that were computed.
std::vector<bool> computedRows(GradDistExtractor& e, int rows, int cols) {
  const cv::Mat* features = zorGllfGradDistExtract(&e, texture(rows, cols), nullptr);
  EXPECT_EQ(features, &e.features);
  std::vector<bool> computed;
  for (int r = 0; features && r < features->rows; ++r)
    computed.push_back(cv::countNonZero(features->row(r)) > 0);
  return computed;
}

}  // namespace

TEST(WindowHistogram, EdgeDirectionsAndBinEdges) {
  // Dark left: 0 degrees; brighter below: 90; then 180 and 270, in 45.125-degree bins.
  const int edgeBins[] = {0, 1, 3, 5};
  for (int i = 0; i < 4; ++i) {
    cv::Mat expected = cv::Mat::zeros(1, 8, CV_32FC1);
    expected.at<float>(edgeBins[i]) = 1.0f;
    EXPECT_LT(cv::norm(edgeHistogram(i % 2 == 0, i >= 2), expected, cv::NORM_INF), 1e-6) << i;
  }
  cv::Mat magnitude(20, 20, CV_32FC1, cv::Scalar(1)), angle(20, 20, CV_32FC1, cv::Scalar(360));
  const cv::Rect window(2, 2, 5, 5);
  for (int bins : {1, 8, 361}) {  // a full circle stays in the last bin
    cv::Mat row = cv::Mat::zeros(1, bins, CV_32FC1);
    ASSERT_TRUE(windowOrientationHistogram(magnitude, angle, window, row, nullptr, nullptr));
    EXPECT_FLOAT_EQ(row.at<float>(bins - 1), 1.0f) << bins;
  }
  // 45.125 degrees is the first angle of bin 1 with 8 bins.
  angle.setTo(45.0);
  angle(cv::Rect(2, 2, 5, 1)).setTo(45.2);
  cv::Mat row = cv::Mat::zeros(1, 8, CV_32FC1);
  windowOrientationHistogram(magnitude, angle, window, row, nullptr, nullptr);
  EXPECT_NEAR(row.at<float>(0) / row.at<float>(1), 4.0, 1e-5);
}

TEST(GaussianWindow, BellPeaksAtTheCentre) {
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

TEST(GradDistGrid, DefaultSettingsGrid) {
  // The float32 ratio the run derives from the defaults lies just above 289/930.
  auto e = extractor(2, 0.31075269f, 31);
  int rows = 0, cols = 0;
  double step = 0;
  EXPECT_EQ(zorGllfGradDistGetSize(e.get(), 240, 320, -1, &rows, &cols, &step), 825);
  EXPECT_EQ(cv::Size(cols, rows), cv::Size(30, 22));
  EXPECT_NEAR(step, 9.6333334, 1e-6);
  EXPECT_EQ(zorGllfGradDistGetSize(e.get(), 240, 320, 1), 165);

  cv::Mat features(825, 8, CV_32FC1, cv::Scalar(5));
  ASSERT_EQ(zorGllfGradDistExtract(e.get(), texture(240, 320), &features), &features);
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
}

TEST(GradDistGrid, WindowsEndingOnTheBorderAndSurplusRowsStayZero) {
  // 64 x 64, window 32, step 16: a 3 x 3 grid whose last row and column end on the border.
  auto e = extractor(2, 0.5f, 32);
  int rows = 0, cols = 0;
  ASSERT_EQ(zorGllfGradDistGetSize(e.get(), 64, 64, -1, &rows, &cols), 11);
  EXPECT_EQ(cv::Size(cols, rows), cv::Size(3, 3));
  EXPECT_EQ(computedRows(*e, 64, 64), (std::vector<bool>{1, 1, 0, 1, 1, 0, 0, 0, 0, 0, 0}));

  // 37 x 50 windows: 1850 + 462 rows, of which level 1 fills only 18 x 25 = 450.
  e = extractor(2, 1.0f, 1);
  ASSERT_EQ(zorGllfGradDistGetSize(e.get(), 37, 50, -1), 2312);
  const std::vector<bool> computed = computedRows(*e, 37, 50);
  EXPECT_TRUE(computed[1850]);
  EXPECT_TRUE(computed[1850 + 16 * 25 + 23]);  // the last level-1 window inside the image
  EXPECT_EQ(std::vector<bool>(computed.begin() + 2300, computed.end()), std::vector<bool>(12));
}

// A step that is not a number, or so fine that the grid overflows an int, gives no windows
// rather than a wrapped count.
TEST(GradDistGrid, StepsThatGiveNoCountableGridGiveNoWindows) {
  for (float ratio : {1e-7f, 1e-12f, std::numeric_limits<float>::quiet_NaN()}) {
    auto e = extractor(2, ratio, 31);
    int rows = -5, cols = -5;
    EXPECT_EQ(zorGllfGradDistGetSize(e.get(), 240, 320, -1, &rows, &cols), 0) << ratio;
    EXPECT_EQ(zorGllfGradDistGetSize(e.get(), 240, 320, 0), 0) << ratio;
    EXPECT_EQ(rows | cols, 0) << ratio;
    EXPECT_EQ(zorGllfGradDistExtract(e.get(), texture(240, 320), nullptr), nullptr) << ratio;
  }
  // 46341 x 46341 one-pixel windows do not fit an int; 46340 x 46340 do, on one level.
  auto e = extractor(1, 1.0f, 1);
  EXPECT_EQ(zorGllfGradDistGetSize(e.get(), 46341, 46341, -1), 0);
  EXPECT_EQ(zorGllfGradDistGetSize(e.get(), 46340, 46340, -1), 46340 * 46340);
  // Smaller than a window: two negative counts must not multiply into windows.
  e = extractor(2, 0.5f, 32);
  int rows = -5, cols = -5;
  EXPECT_EQ(zorGllfGradDistGetSize(e.get(), 8, 8, -1, &rows, &cols), 0);
  EXPECT_EQ(rows | cols, 0);
}
