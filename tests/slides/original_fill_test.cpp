// Filling what the speaker hid for the whole slide from the slide's original: when the
// original may not fill it. That it fills it is the original-fill run's.
#include "slides/original_fill.h"

#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include "lecture_scene.h"
#include "screen_filming.h"
#include "slides/hole_fill.h"

using namespace slidetrack;

namespace {

// The slide as a camera shows it: a little off to the right and down, dimmer and warmer,
// with ink written on it beside where the speaker stood.
cv::Mat cameraView(const cv::Mat& slide) {
  cv::Mat shown;
  const cv::Matx23d shift(1, 0, 2, 0, 1, 1);
  cv::warpAffine(slide, shown, shift, slide.size(), cv::INTER_LINEAR, cv::BORDER_REPLICATE);
  castCameraColours(shown);
  cv::line(shown, {470, 300}, {600, 330}, cv::Scalar(0, 0, 200), 3);
  return shown;
}

}  // namespace

TEST(OriginalFill, AnOriginalThatDoesNotExplainTheSlideAroundTheHoleFillsNothing) {
  cv::Mat slide;
  cv::resize(drawSlide(0, {1024, 768}), slide, {640, 480}, 0, 0, cv::INTER_AREA);
  cv::Mat picture = cameraView(slide);
  cv::Mat unseen = cv::Mat::zeros(240, 320, CV_8UC1);
  cv::rectangle(unseen, cv::Rect(120, 70, 110, 150), 255, cv::FILLED);
  const cv::Mat before = picture.clone();
  EXPECT_FALSE(fillFromOriginal(picture, unseen, drawSlide(1, {1024, 768})));
  EXPECT_EQ(cv::norm(picture, before, cv::NORM_INF), 0.0);
  // Nothing unseen: nothing to do.
  EXPECT_FALSE(
      fillFromOriginal(picture, cv::Mat::zeros(240, 320, CV_8UC1), drawSlide(0, {1024, 768})));
  EXPECT_EQ(cv::norm(picture, before, cv::NORM_INF), 0.0);
}

// A slide that is not among the originals, shown in place of its neighbour: the same template
// and background, other lines of text beside the hole.
TEST(OriginalFill, AnOriginalWithOtherLinesBesideTheHoleFillsNothing) {
  const cv::Mat original = drawSlide(2, {1024, 768});
  cv::Mat slide;
  cv::resize(original, slide, {640, 480}, 0, 0, cv::INTER_AREA);
  cv::Mat hole = cv::Mat::zeros(slide.size(), CV_8UC1);
  cv::rectangle(hole, cv::Rect(260, 150, 160, 300), 255, cv::FILLED);
  // Its own lines run from the left of the hole to the right of it.
  cv::rectangle(slide, cv::Rect(200, 140, 300, 320), cv::Scalar(244, 246, 242), cv::FILLED);
  for (int y = 170; y < 450; y += 28)
    cv::putText(slide, "other words here", {205, y}, cv::FONT_HERSHEY_SIMPLEX, 0.8,
                cv::Scalar(30, 30, 30), 2, cv::LINE_AA);
  cv::Mat picture = cameraView(slide);
  picture.setTo(cv::Scalar(40, 60, 30), hole);
  fillFromSurround(picture, hole);
  const cv::Mat before = picture.clone();
  cv::Mat unseen;
  cv::resize(hole, unseen, {320, 240}, 0, 0, cv::INTER_NEAREST);
  EXPECT_FALSE(fillFromOriginal(picture, unseen, original));
  EXPECT_EQ(cv::norm(picture, before, cv::NORM_INF), 0.0);
}
