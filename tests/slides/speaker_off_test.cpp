// A matched slide's picture loses the speaker who stood in front of it all along, where the
// slide's original shows what he hid; ink stays, and another slide's picture is left alone.
#include "slides/speaker_off.h"

#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include "lecture_scene.h"
#include "screen_filming.h"

using namespace slidetrack;

namespace {

// The slide as a camera shows it: a pixel off, dimmer and warmer, a little blurred.
cv::Mat cameraView(const cv::Mat& original) {
  cv::Mat shown;
  cv::resize(original, shown, {640, 480}, 0, 0, cv::INTER_AREA);
  cv::warpAffine(shown, shown, cv::Matx23d(1, 0, 1, 0, 1, 1), shown.size(), cv::INTER_LINEAR,
                 cv::BORDER_REPLICATE);
  castCameraColours(shown);
  cv::GaussianBlur(shown, shown, {0, 0}, 0.8);
  return shown;
}

// Someone standing in front: a head, a light shirt a little off the slide's background, legs
// down to the screen's lower edge.
cv::Mat speakerMask(cv::Mat& picture) {
  cv::Mat mask = cv::Mat::zeros(picture.size(), CV_8UC1);
  cv::circle(mask, {340, 150}, 32, 255, cv::FILLED);
  cv::rectangle(mask, cv::Rect(280, 185, 120, 225), 255, cv::FILLED);
  cv::rectangle(mask, cv::Rect(295, 410, 35, 70), 255, cv::FILLED);
  cv::rectangle(mask, cv::Rect(350, 410, 35, 70), 255, cv::FILLED);
  cv::circle(picture, {340, 150}, 32, cv::Scalar(50, 70, 110), cv::FILLED);
  cv::rectangle(picture, cv::Rect(280, 185, 120, 225), cv::Scalar(150, 180, 215), cv::FILLED);
  cv::rectangle(picture, cv::Rect(295, 410, 35, 70), cv::Scalar(90, 90, 90), cv::FILLED);
  cv::rectangle(picture, cv::Rect(350, 410, 35, 70), cv::Scalar(90, 90, 90), cv::FILLED);
  return mask;
}

}  // namespace

TEST(SpeakerOff, SomeoneInFrontOfTheMatchedSlideIsReplacedAndInkStays) {
  const cv::Mat original = drawSlide(0, {1024, 768});
  const cv::Mat shown = cameraView(original);
  cv::Mat picture = shown.clone();
  // Ink written beside him, part of what was shown.
  cv::line(picture, {440, 300}, {600, 330}, cv::Scalar(0, 0, 200), 3);
  cv::ellipse(picture, {150, 330}, {70, 25}, 0, 0, 360, cv::Scalar(200, 40, 0), 3);
  const cv::Mat inked = picture.clone();
  const cv::Mat mask = speakerMask(picture);
  ASSERT_GT(meanDifference(picture, shown, mask), 30.0);

  ASSERT_TRUE(speakerOffFromOriginal(picture, original));
  cv::Mat inner;
  cv::erode(mask, inner, cv::getStructuringElement(cv::MORPH_RECT, {9, 9}));
  EXPECT_LT(meanDifference(picture, shown, inner), 8.0);
  // The ink, away from him, is as it was.
  cv::Mat near;
  cv::dilate(mask, near, cv::getStructuringElement(cv::MORPH_RECT, {25, 25}));
  cv::Mat diff;
  cv::absdiff(picture, inked, diff);
  cv::cvtColor(diff, diff, cv::COLOR_BGR2GRAY);
  EXPECT_EQ(cv::countNonZero((diff > 2) & ~near), 0);
}

TEST(SpeakerOff, AnotherSlidesPictureIsLeftAlone) {
  const cv::Mat original = drawSlide(0, {1024, 768});
  cv::Mat picture = cameraView(drawSlide(1, {1024, 768}));
  speakerMask(picture);
  const cv::Mat before = picture.clone();
  EXPECT_FALSE(speakerOffFromOriginal(picture, original));
  EXPECT_EQ(cv::norm(picture, before, cv::NORM_INF), 0.0);
}

TEST(SpeakerOff, ContentTheShownSlideLacksIsNotPaintedIn) {
  // A build step before the original's: its chart not yet shown, nobody in front.
  const cv::Mat original = drawSlide(0, {1024, 768});
  cv::Mat picture = cameraView(original);
  const cv::Scalar background = picture.at<cv::Vec3b>(470, 630);
  picture(cv::Rect(405, 115, 185, 310)).setTo(background);
  const cv::Mat before = picture.clone();
  speakerOffFromOriginal(picture, original);
  EXPECT_EQ(cv::norm(picture, before, cv::NORM_INF), 0.0);
}
