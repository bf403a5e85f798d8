// Filling what the speaker hid for the whole slide: from the slide around it, and from the
// slide's original, which replaces him where it shows what he hid and fills nothing where it
// does not explain the slide around the hole.

#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include "lecture_scene.h"
#include "screen_filming.h"
#include "slides/hole_fill.h"
#include "slides/original_fill.h"
#include "slides/speaker_off.h"

using namespace slidetrack;

namespace {

// The slide as a camera shows it: a little off to the right and down, dimmer and warmer,
// with ink written on it beside where the speaker stood.
cv::Mat inkedCameraView(const cv::Mat& slide) {
  cv::Mat shown;
  const cv::Matx23d shift(1, 0, 2, 0, 1, 1);
  cv::warpAffine(slide, shown, shift, slide.size(), cv::INTER_LINEAR, cv::BORDER_REPLICATE);
  castCameraColours(shown);
  cv::line(shown, {470, 300}, {600, 330}, cv::Scalar(0, 0, 200), 3);
  return shown;
}

// The slide as a camera shows it: a pixel off, dimmer and warmer, a little blurred.
cv::Mat originalCameraView(const cv::Mat& original) {
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

// Filling what the speaker hid for the whole slide from the slide around it.
TEST(HoleFill, BarsRunOnBehindHimAndNothingSeenChanges) {
  // A slide with a dark title bar and a coloured block; he hid a tall region across both.
  cv::Mat slide = drawSlide(4, {640, 480});
  cv::rectangle(slide, cv::Rect(0, 200, 640, 40), cv::Scalar(120, 40, 30), cv::FILLED);
  cv::Mat hole = cv::Mat::zeros(slide.size(), CV_8UC1);
  cv::rectangle(hole, cv::Rect(250, 0, 120, 480), 255, cv::FILLED);
  // Strokes of letters right beside it on both sides are no bar to draw across.
  cv::line(slide, {248, 366}, {248, 374}, cv::Scalar(20, 20, 20), 2);
  cv::line(slide, {371, 366}, {371, 374}, cv::Scalar(20, 20, 20), 2);
  cv::Mat picture = slide.clone();
  picture.setTo(cv::Scalar(0, 200, 0), hole);  // whatever stood there
  fillFromSurround(picture, hole);

  cv::Mat diff;
  cv::absdiff(picture, slide, diff);
  cv::cvtColor(diff, diff, cv::COLOR_BGR2GRAY);
  EXPECT_EQ(cv::countNonZero(diff & ~hole), 0) << "seen pixels are kept";
  // The bars continue straight across, not in one colour over all of the hole.
  const cv::Rect bar(250, 205, 120, 30), title(250, 2, 120, 12);
  EXPECT_LT(cv::mean(diff(bar))[0], 10.0);
  EXPECT_LT(cv::mean(diff(title))[0], 10.0);
  // Elsewhere the hole takes the slide's background near it, not his colour.
  EXPECT_LT(cv::mean(diff(cv::Rect(250, 300, 120, 60)))[0], 30.0);
  EXPECT_LT(cv::mean(diff(cv::Rect(250, 366, 120, 9)))[0], 30.0);
}

// Only the part around the holes is enlarged: it must give what enlarging all of it gives,
// next to the picture's edges too, and at sizes that are not twice the half.
TEST(HoleFill, EnlargingAroundTheHolesIsEnlargingAll) {
  cv::RNG rng(3);
  for (int k = 0; k < 30; ++k) {
    const cv::Size half(rng.uniform(4, 90), rng.uniform(4, 70));
    const cv::Size size(2 * half.width + (k % 5 == 0), 2 * half.height);
    cv::Mat colour(half, CV_32FC3), hole = cv::Mat::zeros(size, CV_8UC1), expected, all;
    rng.fill(colour, cv::RNG::UNIFORM, 0.0, 255.0);
    cv::circle(hole, {rng.uniform(0, size.width), rng.uniform(0, size.height)}, rng.uniform(1, 20),
               255, cv::FILLED);
    cv::Mat picture(size, CV_8UC3, cv::Scalar(1, 2, 3));
    picture.copyTo(expected);
    cv::resize(colour, all, size, 0, 0, cv::INTER_LINEAR);
    all.convertTo(all, CV_8UC3);
    all.copyTo(expected, hole);
    takeEnlarged(colour, picture, hole);
    EXPECT_EQ(cv::norm(picture, expected, cv::NORM_INF), 0.0) << size;
  }
}

// Filling what the speaker hid for the whole slide from the slide's original: when the
// original may not fill it. That it fills it is the original-fill run's.
TEST(OriginalFill, AnOriginalThatDoesNotExplainTheSlideAroundTheHoleFillsNothing) {
  cv::Mat slide;
  cv::resize(drawSlide(0, {1024, 768}), slide, {640, 480}, 0, 0, cv::INTER_AREA);
  cv::Mat picture = inkedCameraView(slide);
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
  cv::Mat picture = inkedCameraView(slide);
  picture.setTo(cv::Scalar(40, 60, 30), hole);
  fillFromSurround(picture, hole);
  const cv::Mat before = picture.clone();
  cv::Mat unseen;
  cv::resize(hole, unseen, {320, 240}, 0, 0, cv::INTER_NEAREST);
  EXPECT_FALSE(fillFromOriginal(picture, unseen, original));
  EXPECT_EQ(cv::norm(picture, before, cv::NORM_INF), 0.0);
}

// A matched slide's picture loses the speaker who stood in front of it all along, where the
// slide's original shows what he hid; ink stays, and another slide's picture is left alone.
TEST(SpeakerOff, SomeoneInFrontOfTheMatchedSlideIsReplacedAndInkStays) {
  const cv::Mat original = drawSlide(0, {1024, 768});
  const cv::Mat shown = originalCameraView(original);
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

// Another slide's picture, and a build step before the original's (its chart not yet shown,
// nobody in front), are left as they are.
TEST(SpeakerOff, AnotherSlideOrContentTheShownSlideLacksIsLeftAlone) {
  const cv::Mat original = drawSlide(0, {1024, 768});
  cv::Mat other = originalCameraView(drawSlide(1, {1024, 768}));
  speakerMask(other);
  cv::Mat build = originalCameraView(original);
  build(cv::Rect(405, 115, 185, 310)).setTo(cv::Scalar(build.at<cv::Vec3b>(470, 630)));
  for (cv::Mat* picture : {&other, &build}) {
    const cv::Mat before = picture->clone();
    const bool replaced = speakerOffFromOriginal(*picture, original);
    EXPECT_FALSE(picture == &other && replaced);
    EXPECT_EQ(cv::norm(*picture, before, cv::NORM_INF), 0.0) << (picture == &other);
  }
}
