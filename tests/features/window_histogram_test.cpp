// Orientation histograms of single windows and the Gaussian window weight.
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
  const cv::Rect second = vertical ? cv::Rect(32, 0, 32, 64) : cv::Rect(0, 32, 64, 32);
  image(second).setTo(brightFirst ? 40 : 200);
  std::unique_ptr<GradientPyramid> pyramid;
  gradientPyramidCompute(pyramid, image, 1, 3);
  auto weight = gaussianWindowWeightCreate(31);
  cv::Mat row = cv::Mat::zeros(1, 8, CV_32FC1);
  const auto& level = pyramid->levels[0];
  EXPECT_TRUE(windowOrientationHistogram(level[kMagnitude], level[kAngle], cv::Rect(17, 17, 31, 31),
                                         row, &weight->mask, &weight->scratch));
  return row;
}

cv::Mat onlyBin(int bin) {
  cv::Mat expected = cv::Mat::zeros(1, 8, CV_32FC1);
  expected.at<float>(bin) = 1.0f;
  return expected;
}

double maxDiff(const cv::Mat& a, const cv::Mat& b) { return cv::norm(a, b, cv::NORM_INF); }

}  // namespace

TEST(WindowHistogram, EdgeDirectionsFallIntoTheirBins) {
  EXPECT_LT(maxDiff(edgeHistogram(true, false), onlyBin(0)), 1e-6);   // dark left: 0 deg
  EXPECT_LT(maxDiff(edgeHistogram(false, false), onlyBin(1)), 1e-6);  // brighter below: 90
  EXPECT_LT(maxDiff(edgeHistogram(true, true), onlyBin(3)), 1e-6);    // 180
  EXPECT_LT(maxDiff(edgeHistogram(false, true), onlyBin(5)), 1e-6);   // 270
}

TEST(WindowHistogram, FullCircleAngleStaysInTheLastBin) {
  cv::Mat magnitude(20, 20, CV_32FC1, cv::Scalar(1));
  cv::Mat angle(20, 20, CV_32FC1, cv::Scalar(360));
  for (int bins : {1, 8, 12, 361}) {
    cv::Mat row = cv::Mat::zeros(1, bins, CV_32FC1);
    ASSERT_TRUE(
        windowOrientationHistogram(magnitude, angle, cv::Rect(2, 2, 5, 5), row, nullptr, nullptr));
    EXPECT_FLOAT_EQ(row.at<float>(bins - 1), 1.0f) << bins;
  }
  // 45.125 degrees is the first angle of bin 1 with 8 bins.
  angle.setTo(45.0);
  angle(cv::Rect(2, 2, 5, 1)).setTo(45.2);
  cv::Mat row = cv::Mat::zeros(1, 8, CV_32FC1);
  windowOrientationHistogram(magnitude, angle, cv::Rect(2, 2, 5, 5), row, nullptr, nullptr);
  EXPECT_NEAR(row.at<float>(0) / row.at<float>(1), 4.0, 1e-5);
}

TEST(WindowHistogram, WindowMustLieStrictlyInside) {
  cv::Mat magnitude(40, 40, CV_32FC1, cv::Scalar(1));
  cv::Mat angle(40, 40, CV_32FC1, cv::Scalar(10));
  auto weight = gaussianWindowWeightCreate(8);
  auto histogram = [&](cv::Rect window) {
    cv::Mat row = cv::Mat::zeros(1, 8, CV_32FC1);
    EXPECT_TRUE(
        windowOrientationHistogram(magnitude, angle, window, row, &weight->mask, &weight->scratch));
    return cv::countNonZero(row) > 0;
  };
  EXPECT_TRUE(histogram(cv::Rect(0, 0, 8, 8)));
  EXPECT_TRUE(histogram(cv::Rect(31, 31, 8, 8)));
  EXPECT_FALSE(histogram(cv::Rect(32, 0, 8, 8)));  // right edge on the border
  EXPECT_FALSE(histogram(cv::Rect(0, 32, 8, 8)));  // bottom edge on the border
  EXPECT_FALSE(histogram(cv::Rect(-1, 0, 8, 8)));
}

TEST(WindowHistogram, RejectsInconsistentInputs) {
  cv::Mat magnitude(40, 40, CV_32FC1, cv::Scalar(1));
  cv::Mat angle(40, 40, CV_32FC1, cv::Scalar(10));
  auto weight = gaussianWindowWeightCreate(8);
  cv::Mat row = cv::Mat::zeros(1, 8, CV_32FC1);
  const cv::Rect window(4, 4, 8, 8);
  EXPECT_FALSE(windowOrientationHistogram(magnitude, angle, window, row, &weight->mask, nullptr));
  auto other = gaussianWindowWeightCreate(9);
  EXPECT_FALSE(
      windowOrientationHistogram(magnitude, angle, window, row, &other->mask, &other->scratch));
  EXPECT_FALSE(
      windowOrientationHistogram(magnitude, angle, window, row, &weight->mask, &other->scratch));
  EXPECT_FALSE(windowOrientationHistogram(magnitude, cv::Mat(), window, row, nullptr, nullptr));
  cv::Mat smallAngle(30, 30, CV_32FC1, cv::Scalar(10));
  EXPECT_FALSE(windowOrientationHistogram(magnitude, smallAngle, window, row, nullptr, nullptr));
  EXPECT_EQ(cv::countNonZero(row), 0);
}

TEST(GaussianWindow, BellPeaksAtTheCentre) {
  for (int size : {31, 32, 5}) {
    auto weight = gaussianWindowWeightCreate(size);
    ASSERT_EQ(weight->mask.size(), cv::Size(size, size));
    ASSERT_EQ(weight->scratch.size(), cv::Size(size, size));
    cv::Point peak;
    cv::minMaxLoc(weight->mask, nullptr, nullptr, nullptr, &peak);
    EXPECT_EQ(peak, cv::Point(size / 2, size / 2)) << size;
    const int c = size / 2;
    const double sigma = size / (8 * std::sqrt(2.0));
    const double ratio = weight->mask.at<float>(c, c + 1) / weight->mask.at<float>(c, c);
    EXPECT_NEAR(ratio, std::exp(-1 / (2 * sigma * sigma)), 1e-4) << size;
    EXPECT_FLOAT_EQ(weight->mask.at<float>(c, c - 2), weight->mask.at<float>(c, c + 2));
  }
}
