// Gradient pyramid, Gaussian window weight and orientation histograms of single windows.
#include <gtest/gtest.h>

#include <cmath>

#include <opencv2/core.hpp>

#include "gaussian_window.h"
#include "gradient_pyramid.h"
#include "window_histogram.h"

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

}  // namespace

TEST(GradientPyramid, SobelGradientsPerLevelRemadeForAnotherSize) {
  cv::Mat ramp(32, 32, CV_8UC1);
  for (int x = 0; x < 32; ++x) ramp.col(x).setTo(4 * x);
  std::unique_ptr<GradientPyramid> pyramid;
  ASSERT_NE(gradientPyramidCompute(pyramid, ramp, 2, 3), nullptr);
  EXPECT_FLOAT_EQ(pyramid->levels[0][kGradX].at<float>(5, 10), 32.0f);  // Sobel 3: 8 x slope
  // Half resolution doubles the slope per pixel.
  EXPECT_NEAR(pyramid->levels[1][kMagnitude].at<float>(8, 8), 64.0f, 1e-3);

  ASSERT_NE(gradientPyramidCompute(pyramid, cv::Mat(50, 30, CV_8UC1, cv::Scalar(1)), 3, 3),
            nullptr);
  ASSERT_EQ(pyramid->levels.size(), 3u);
  for (int i = 0; i < 3; ++i)
    for (const cv::Mat& slot : pyramid->levels[i])
      EXPECT_EQ(slot.size(), cv::Size(30 >> i, 50 >> i));  // odd sizes halve down
  EXPECT_EQ(gradientPyramidCompute(pyramid, cv::Mat(), 2, 3), nullptr);
}

TEST(WindowHistogram, EdgeDirectionsFallIntoTheirBins) {
  // Dark left: 0 degrees; brighter below: 90; then 180 and 270, in 45.125-degree bins.
  const int bins[] = {0, 1, 3, 5};
  for (int i = 0; i < 4; ++i) {
    cv::Mat expected = cv::Mat::zeros(1, 8, CV_32FC1);
    expected.at<float>(bins[i]) = 1.0f;
    EXPECT_LT(cv::norm(edgeHistogram(i % 2 == 0, i >= 2), expected, cv::NORM_INF), 1e-6) << i;
  }
}

TEST(WindowHistogram, BinEdgesAndRejectedInputs) {
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

  row.setTo(0);
  auto weight = gaussianWindowWeightCreate(6);
  EXPECT_FALSE(windowOrientationHistogram(magnitude, angle, window, row, &weight->mask, nullptr));
  EXPECT_FALSE(
      windowOrientationHistogram(magnitude, angle, window, row, &weight->mask, &weight->scratch));
  const cv::Mat smallAngle(10, 10, CV_32FC1, cv::Scalar(10));
  EXPECT_FALSE(windowOrientationHistogram(magnitude, smallAngle, window, row, nullptr, nullptr));
  EXPECT_EQ(cv::countNonZero(row), 0);
}

TEST(GaussianWindow, BellPeaksAtTheCentre) {
  for (int size : {31, 32}) {  // an even window still peaks at size / 2
    auto weight = gaussianWindowWeightCreate(size);
    ASSERT_EQ(weight->scratch.size(), cv::Size(size, size));
    cv::Point peak;
    cv::minMaxLoc(weight->mask, nullptr, nullptr, nullptr, &peak);
    EXPECT_EQ(peak, cv::Point(size / 2, size / 2)) << size;
  }
  // sigma 2.74 for 31: neighbours of the centre fall by exp(-1 / (2 sigma^2)).
  auto weight = gaussianWindowWeightCreate(31);
  EXPECT_NEAR(weight->mask.at<float>(15, 16) / weight->mask.at<float>(15, 15),
              std::exp(-1 / (2 * 2.7400 * 2.7400)), 1e-4);
}
