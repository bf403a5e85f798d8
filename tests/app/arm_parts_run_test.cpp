// An arm reaching in from beyond the screen's edge points across a thin bar of a new slide as it
// appears, and is lowered for the rest of it. The first look's arm and the bar make one thin
// region, most of which (the bar) never changes: the parts the arm left give way to the slide
// all the same.

#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include "run_harness.h"

using namespace slidetrack;

namespace {

// The whole frame is the screen, so that every pixel of it is drawn here.
const cv::Size kFrame(640, 480);
// Frames of each slide, and those his arm is up: over the first, then over the second.
constexpr int kFirst = 150, kSecond = 450, kRaised = 75, kLowered = 275;
// His arm, from beyond the right edge, over the first slide and over the second.
const cv::Point kShoulder(760, 330), kFirstHand(430, 380), kSecondHand(460, 180);
// The second slide's thin bar, which the arm crosses.
const cv::Rect kBar(280, 235, 320, 20);

cv::Mat slideWith(int index) {
  cv::Mat s(kFrame, CV_8UC3, cv::Scalar(240, 238, 236));
  const cv::Scalar ink(40, 30, 30);
  cv::putText(s, index ? "Second slide" : "First slide", {30, 60}, cv::FONT_HERSHEY_SIMPLEX, 1.4,
              ink, 2, cv::LINE_AA);
  if (index) cv::rectangle(s, kBar, cv::Scalar(140, 50, 30), cv::FILLED);
  for (int y : {120, 160, 200, 300, 340, 380, 420})
    cv::putText(s, index ? "each line of the second slide runs on" : "the first one's lines",
                {30, y + 6 * index}, cv::FONT_HERSHEY_SIMPLEX, 0.8, ink, 2, cv::LINE_AA);
  return s;
}

// 255 on the arm reaching to hand.
cv::Mat armTo(cv::Point hand) {
  cv::Mat arm = cv::Mat::zeros(kFrame, CV_8UC1);
  cv::line(arm, kShoulder, hand, 255, 18);
  return arm;
}

cv::Mat frameAt(int frame) {
  cv::Mat image = slideWith(frame < kFirst ? 0 : 1);
  if (frame >= kRaised && frame < kLowered)
    image.setTo(cv::Scalar(170, 150, 60), armTo(frame < kFirst ? kFirstHand : kSecondHand));
  cv::Mat noise(kFrame, CV_16SC3);
  cv::RNG rng(unsigned(frame) + 1);
  rng.fill(noise, cv::RNG::NORMAL, 0, 2);
  cv::add(image, noise, image, cv::noArray(), CV_8UC3);
  return image;
}

class ArmPartsRun : public ClipRunTest {
 protected:
  void SetUp() override { encode(kFrame, kFirst + kSecond, frameAt); }
  // The second slide's saved picture.
  cv::Mat secondPicture(int parts) {
    PresentationSettings settings;
    settings.slidePictureArmParts = parts;
    PicturesObserver pictures;
    const std::vector<cv::Point2f> corners = {{0, 0},
                                              {float(kFrame.width), 0},
                                              {float(kFrame.width), float(kFrame.height)},
                                              {0, float(kFrame.height)}};
    runPipeline(settings, {clip_, std::nullopt, "pics/"}, corners, pictures);
    EXPECT_EQ(pictures.starts.size(), 2u);
    return pictures.pictures.size() == 2u ? pictures.pictures[1] : cv::Mat();
  }
};

TEST_F(ArmPartsRun, TheArmHisFirstLookTookGivesWayToTheSlideHeLaterShowed) {
  // Where his arm lay over the second slide, off the bar (whose plain colour may keep it).
  cv::Mat where, bar = cv::Mat::zeros(kFrame, CV_8UC1);
  cv::rectangle(bar, kBar, 255, cv::FILLED);
  cv::dilate(bar, bar, cv::getStructuringElement(cv::MORPH_RECT, {15, 15}));
  cv::erode(armTo(kSecondHand) & ~bar, where, cv::getStructuringElement(cv::MORPH_RECT, {5, 5}));
  ASSERT_GT(cv::countNonZero(where), 1000);
  const cv::Mat truth = slideWith(1);
  // Share of those pixels that differ strongly from the slide: his sleeve.
  const auto sleeve = [&](const cv::Mat& picture) {
    cv::Mat diff;
    cv::absdiff(picture, truth, diff);
    cv::cvtColor(diff, diff, cv::COLOR_BGR2GRAY);
    return double(cv::countNonZero((diff > 50) & where)) / cv::countNonZero(where);
  };
  const cv::Mat parts = secondPicture(1), whole = secondPicture(0);
  ASSERT_FALSE(parts.empty() || whole.empty());
  EXPECT_GT(sleeve(whole), 0.15) << "the region as a whole never went";
  EXPECT_LT(sleeve(parts), 0.08);
}

}  // namespace
