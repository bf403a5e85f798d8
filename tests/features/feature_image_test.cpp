// Bringing presentation and original images to the grey feature image.
#include <gtest/gtest.h>

#include <opencv2/core.hpp>

#include "grad_dist.h"
#include "presentation_settings.h"

namespace {

// One-pixel stripes alias badly under nearest-neighbour decimation unless smoothed.
cv::Mat stripes(int type) {
  cv::Mat image(480, 640, type, cv::Scalar::all(0));
  for (int x = 0; x < image.cols; x += 2) image.col(x).setTo(cv::Scalar::all(255));
  return image;
}

bool averaged(const cv::Mat& image) {
  double lo = 0, hi = 0;
  cv::minMaxLoc(image, &lo, &hi);
  return lo > 110 && hi < 145;
}

}  // namespace

TEST(FeatureImage, ColourAndGreyImagesBecomeSmoothedGrey) {
  PresentationSettings settings;
  cv::Mat colour = stripes(CV_8UC3), target;
  colour(cv::Rect(0, 0, 640, 240)).setTo(cv::Scalar(255, 0, 0));  // pure blue: grey 29
  featureImagePrepare(colour, target, settings);
  ASSERT_EQ(target.size(), cv::Size(320, 240));
  ASSERT_EQ(target.type(), CV_8UC1);
  EXPECT_NEAR(target.at<uchar>(60, 160), 29, 1);
  EXPECT_TRUE(averaged(target(cv::Rect(20, 140, 280, 80))));
  const uchar* data = target.data;
  cv::Mat grey = stripes(CV_8UC1);
  featureImagePrepare(grey, target, settings);
  EXPECT_EQ(target.data, data);                             // a target of the right shape is reused
  EXPECT_TRUE(averaged(grey(cv::Rect(20, 20, 600, 440))));  // smoothed in place
}

TEST(FeatureImage, UnsupportedSourcesGiveBlackOrNothing) {
  PresentationSettings settings;
  for (cv::Mat source : {cv::Mat(480, 640, CV_8UC4, cv::Scalar::all(200)),
                         cv::Mat(480, 640, CV_16UC1, cv::Scalar(900))}) {
    cv::Mat target(240, 320, CV_8UC1, cv::Scalar(255));
    featureImagePrepare(source, target, settings);
    EXPECT_EQ(cv::countNonZero(target), 0) << source.type();
  }
  cv::Mat empty, untouched;
  featureImagePrepare(empty, untouched, settings);
  EXPECT_TRUE(untouched.empty());
}
