// Bringing presentation and original images to the grey feature image.
#include <gtest/gtest.h>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "grad_dist.h"
#include "presentation_settings.h"

namespace {

// One-pixel stripes alias badly under nearest-neighbour decimation unless smoothed.
cv::Mat stripes(int rows, int cols, int type) {
  cv::Mat image(rows, cols, type, cv::Scalar::all(0));
  for (int x = 0; x < cols; x += 2) image.col(x).setTo(cv::Scalar::all(255));
  return image;
}

}  // namespace

TEST(FeatureImage, ColourPresentationImageBecomesSmoothedGrey) {
  PresentationSettings settings;
  cv::Mat source = stripes(480, 640, CV_8UC3);
  source(cv::Rect(0, 0, 640, 240)).setTo(cv::Scalar(255, 0, 0));  // pure blue: grey 29
  const cv::Mat original = source.clone();
  cv::Mat target;
  cv::Mat& result = featureImagePrepare(source, target, settings);
  EXPECT_EQ(&result, &target);
  ASSERT_EQ(target.size(), cv::Size(320, 240));
  ASSERT_EQ(target.type(), CV_8UC1);
  EXPECT_EQ(cv::norm(source, original, cv::NORM_INF), 0.0);  // colour source is not changed
  EXPECT_NEAR(target.at<uchar>(60, 160), 29, 1);
  double lo = 0, hi = 0;
  cv::minMaxLoc(target(cv::Rect(20, 140, 280, 80)), &lo, &hi);
  EXPECT_GT(lo, 110);  // stripes are averaged, not sampled
  EXPECT_LT(hi, 145);

  const uchar* data = target.data;
  featureImagePrepare(source, target, settings);
  EXPECT_EQ(target.data, data);  // a target of the right shape is reused
}

TEST(FeatureImage, GreySourceIsSmoothedInPlace) {
  PresentationSettings settings;
  cv::Mat source = stripes(480, 640, CV_8UC1);
  cv::Mat target(10, 10, CV_8UC1);
  featureImagePrepare(source, target, settings);
  EXPECT_EQ(target.size(), cv::Size(320, 240));
  double lo = 0, hi = 0;
  cv::minMaxLoc(source(cv::Rect(20, 20, 600, 440)), &lo, &hi);
  EXPECT_GT(lo, 110);
  EXPECT_LT(hi, 145);
}

TEST(FeatureImage, SmallOriginalsAreEnlarged) {
  PresentationSettings settings;
  cv::Mat source(60, 80, CV_8UC3, cv::Scalar(0, 0, 0));
  source(cv::Rect(40, 0, 40, 60)).setTo(cv::Scalar(255, 255, 255));
  cv::Mat target;
  featureImagePrepare(source, target, settings);
  ASSERT_EQ(target.size(), cv::Size(320, 240));
  EXPECT_EQ(target.at<uchar>(120, 10), 0);
  EXPECT_EQ(target.at<uchar>(120, 310), 255);
}

TEST(FeatureImage, UnsupportedSourcesGiveBlackOrNothing) {
  PresentationSettings settings;
  cv::Mat four(480, 640, CV_8UC4, cv::Scalar::all(200));
  cv::Mat target(240, 320, CV_8UC1, cv::Scalar(255));
  featureImagePrepare(four, target, settings);
  EXPECT_EQ(cv::countNonZero(target), 0);
  cv::Mat deep(480, 640, CV_16UC1, cv::Scalar(900));
  target.setTo(255);
  featureImagePrepare(deep, target, settings);
  EXPECT_EQ(cv::countNonZero(target), 0);
  cv::Mat empty, untouched;
  featureImagePrepare(empty, untouched, settings);
  EXPECT_TRUE(untouched.empty());
}
