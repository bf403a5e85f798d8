// An arm that reaches into the screen from a speaker beside it, still as the slide appears,
// leaves the slide's picture once it is lowered and the slide shows there. The still arm is
// taken as the slide, and once it goes the decision holds the place back as differing from
// its reference, which holds the arm: the picture's own look at the arm lets it go.

#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include "screen_filming.h"

using namespace slidetrack;

namespace {

const cv::Scalar kInk(30, 30, 30), kSleeve(200, 190, 60);
const cv::Rect kPhoto(300, 130, 250, 120);

cv::Mat slideWith(const char* words, cv::Scalar band, bool photo) {
  cv::Mat s(kScreen, CV_8UC3, cv::Scalar(245, 245, 245));
  cv::rectangle(s, cv::Rect(40, 120, 560, 36), band, cv::FILLED);
  for (int k = 0; k < 6; ++k)
    cv::putText(s, words, {60, 200 + 40 * k}, cv::FONT_HERSHEY_SIMPLEX, 0.8, kInk, 1, cv::LINE_AA);
  if (photo) {
    cv::Mat grain(kPhoto.size(), CV_8UC3);
    cv::randu(grain, cv::Scalar(60, 70, 80), cv::Scalar(200, 190, 170));
    cv::GaussianBlur(grain, grain, {0, 0}, 1.2);
    grain.copyTo(s(kPhoto));
  }
  return s;
}

// The arm, from beyond the right edge to the hand.
cv::Mat drawArm(cv::Mat& screen, cv::Point hand) {
  cv::Mat shape = cv::Mat::zeros(screen.size(), CV_8UC1);
  cv::line(shape, {700, 330}, hand, 255, 18);
  cv::circle(shape, hand, 12, 255, cv::FILLED);
  screen.setTo(kSleeve, shape);
  return shape;
}

// The picture's mean grey difference from the slide where the arm was, with or without him.
double armLeft(bool arm, const ChangeDetectorOptions& options = ChangeDetectorOptions()) {
  const cv::Mat a = slideWith("the first slide's text", cv::Scalar(150, 60, 40), false);
  const cv::Mat b = slideWith("another slide's own line", cv::Scalar(60, 120, 40), true);
  const Filmed run = filmedRun(options, 24, [&](int t) {
    cv::Mat screen = (t < 6 ? a : b).clone();
    if (arm && t < 11) drawArm(screen, t < 6 ? cv::Point(420, 330) : cv::Point(330, 140));
    return filmed(screen, t);
  });
  EXPECT_EQ(run.changes, std::vector<int>{6});
  cv::Mat where = cv::Mat::zeros(kScreen, CV_8UC1), scratch = b.clone();
  cv::dilate(drawArm(scratch, {330, 140}), where, cv::Mat(), {-1, -1}, 2);
  return meanDifference(run.picture, b, where);
}

}  // namespace

TEST(FirstLookArm, AStillArmAsTheSlideAppearsLeavesItsPicture) {
  const double clear = armLeft(false);
  EXPECT_LT(armLeft(true), clear + 2.0) << "without him " << clear;
}

TEST(FirstLookArm, WithoutTheArmsLookThePictureKeepsIt) {
  ChangeDetectorOptions options;
  options.slidePictureArms = 0;
  EXPECT_GT(armLeft(true, options), armLeft(false, options) + 10.0);
}
