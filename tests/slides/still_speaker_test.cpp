// A speaker who stands still through a slide, in clothes of its grey, stays out of its picture.

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include <opencv2/imgproc.hpp>

#include "lecture_scene.h"
#include "screen_filming.h"
#include "slides/clean_slide.h"
#include "slides/robust_change.h"
#include "slides/shift_diff.h"

using namespace slidetrack;

namespace {

// A beige of the slide's background grey: its blue is 34 levels below, its red 12 above
// the background's, less than either channel tells apart alone.
cv::Scalar beigeOf(const cv::Mat& slide) {
  const cv::Vec3b b = slide.at<cv::Vec3b>(slide.rows - 5, slide.cols / 2);
  return cv::Scalar(b[0] - 34, b[1] + 1, b[2] + 12);
}

// Share of his shape where the picture shows his clothing: within 12 levels of it in every
// channel, where the slide itself is not.
double clothingShown(const cv::Mat& picture, const cv::Mat& slide, cv::Scalar clothing,
                     const cv::Mat& shape) {
  const cv::Scalar tolerance = cv::Scalar::all(12);
  cv::Mat shown, there;
  cv::inRange(picture, clothing - tolerance, clothing + tolerance, shown);
  cv::inRange(slide, clothing - tolerance, clothing + tolerance, there);
  return cv::countNonZero(shown & ~there & shape) / double(cv::countNonZero(shape));
}

// Slide 4, then slide 7 from frame 8 on; he is at x(t) in frame t.
template <typename Where>
Filmed film(int stillSpeaker, cv::Scalar clothing, Where x) {
  ChangeDetectorOptions options;
  options.slidePictureSpeaker = stillSpeaker;
  return filmedRun(options, 18, [&](int t) {
    cv::Mat screen = drawSlide(t < 8 ? 4 : 7, kScreen);
    drawSpeaker(screen, x(t), nullptr, clothing);
    return filmed(screen, t);
  });
}

}  // namespace

TEST(StillSpeaker, InClothesOfTheSlidesGreyButAnotherTintIsNotInThePicture) {
  // He walks in and stands still from before the change to the end of the next slide.
  const cv::Mat second = drawSlide(7, kScreen);
  const cv::Scalar beige = beigeOf(second);
  const auto x = [](int t) { return std::max(440, 700 - 60 * t); };
  cv::Mat unused = second.clone();
  const cv::Mat shape = drawSpeaker(unused, 440, nullptr, beige);
  const Filmed found = film(1, beige, x), before = film(0, beige, x);
  EXPECT_EQ(found.changes, before.changes) << "the picture takes no part in the decision";
  EXPECT_LE(clothingShown(found.picture, second, beige, shape), 0.02);
  // Told apart by no channel alone, he stayed in the picture.
  EXPECT_GE(clothingShown(before.picture, second, beige, shape), 0.3);
}

TEST(StillSpeaker, WhomTheDecisionHoldsAsUnseenWhenTheSlideAppearsIsNotInThePicture) {
  // He stands still in dark clothes from the slide's first look on; the picture's own look
  // never saw him move, the decision's hole holds part of him (his legs).
  const cv::Mat slide = drawSlide(7, kScreen);
  const cv::Scalar dark(60, 45, 40);
  cv::Mat screen = slide.clone();
  const cv::Mat shape = drawSpeaker(screen, 380, nullptr, dark);
  cv::Mat legs = cv::Mat::zeros(kScreen, CV_8UC1);
  legs(cv::Rect(325, 420, 110, 60)).setTo(255);
  std::vector<double> shown;
  for (bool still : {true, false}) {
    cv::theRNG().state = 0xffffffffu;
    CleanSlide clean;
    clean.findStill(still);
    cv::Mat frame = shakenWithNoise(screen, 0, 0), grey, work, hole;
    screenWorkImage(frame, grey, work);
    cv::resize(legs, hole, work.size(), 0, 0, cv::INTER_NEAREST);
    clean.start(frame, work, hole);
    for (int t = 1; t < 8; ++t) {
      frame = filmed(screen, t);
      screenWorkImage(frame, grey, work);
      clean.update(frame, work, hole);
    }
    shown.push_back(clothingShown(clean.picture(), slide, dark, shape));
  }
  // The camera's blur of his outline just outside the body found is left, a line each side.
  EXPECT_LE(shown[0], 0.03);
  // Found by nothing but the hole, he stood in the picture.
  EXPECT_GE(shown[1], 0.3);
}
