// A speaker in clothes of the slide's grey: standing still through a slide, in a beige told
// apart by no channel alone or a shirt barely off its grey and tint, he stays out of its picture
// and the slide's pale blocks beside him stay in it; pointing under light that falls off towards
// the top, he changes no slide.

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

const cv::Scalar kPaleGreen(205, 235, 205);

// The slide's background grey (its colour near the bottom edge's middle) moved by delta.
cv::Scalar backgroundPlus(const cv::Mat& slide, cv::Scalar delta) {
  return cv::Scalar(slide.at<cv::Vec3b>(slide.rows - 5, slide.cols / 2)) + delta;
}

// A beige of the slide's grey: its blue 34 levels below, its red 12 above the background's,
// less than either channel tells apart alone.
cv::Scalar beigeOf(const cv::Mat& slide) { return backgroundPlus(slide, {-34, 1, 12}); }

// The background less a little grey and with a faint blue-grey cast, as a pale shirt under a
// projector's light looks: no channel, nor the tint, differs as clothing usually does.
cv::Scalar shirtOf(const cv::Mat& slide) { return backgroundPlus(slide, {-23, -11, -2}); }

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

// Slide 4, then slide 7 from frame 8 on; he walks in and stands still at x = 440 from before
// the change to the end.
Filmed filmStill(int stillSpeaker, cv::Scalar clothing) {
  ChangeDetectorOptions options;
  options.slidePictureSpeaker = stillSpeaker;
  return filmedRun(options, 18, [&](int t) {
    cv::Mat screen = drawSlide(t < 8 ? 4 : 7, kScreen);
    drawSpeaker(screen, std::max(440, 700 - 60 * t), nullptr, clothing);
    return filmed(screen, t);
  });
}

// Two pale green blocks with a line of text each, left and right of where he stands.
cv::Mat withBlocks(const cv::Mat& slide, std::vector<cv::Rect>& blocks) {
  cv::Mat out = slide.clone();
  blocks = {cv::Rect(30, 220, 200, 110), cv::Rect(440, 220, 180, 110)};
  for (const cv::Rect& b : blocks) {
    cv::rectangle(out, b, kPaleGreen, cv::FILLED);
    cv::putText(out, "lemma", b.tl() + cv::Point(20, 60), cv::FONT_HERSHEY_SIMPLEX, 0.9,
                cv::Scalar(30, 30, 30), 2, cv::LINE_AA);
  }
  return out;
}

// Head, trunk and arms in the shirt, dark legs down to the bottom edge, dx pixels right of
// where he stops; 255 on him.
cv::Mat drawShirted(cv::Mat& screen, cv::Scalar shirt, int dx = 0) {
  const cv::Point at(dx, 0);
  cv::Mat on = cv::Mat::zeros(screen.size(), CV_8UC1), legs = on.clone();
  cv::rectangle(on, cv::Rect(280, 200, 80, 150) + at, 255, cv::FILLED);
  cv::rectangle(on, cv::Rect(262, 205, 16, 120) + at, 255, cv::FILLED);
  cv::rectangle(on, cv::Rect(362, 205, 16, 120) + at, 255, cv::FILLED);
  screen.setTo(shirt, on);
  cv::rectangle(legs, cv::Rect(286, 350, 68, 40) + at, 255, cv::FILLED);
  cv::rectangle(legs, cv::Rect(286, 350, 30, 130) + at, 255, cv::FILLED);
  cv::rectangle(legs, cv::Rect(324, 350, 30, 130) + at, 255, cv::FILLED);
  screen.setTo(cv::Scalar(55, 50, 50), legs);
  cv::circle(screen, cv::Point(320, 170) + at, 27, cv::Scalar(120, 150, 190), cv::FILLED);
  cv::circle(on, cv::Point(320, 170) + at, 27, 255, cv::FILLED);
  return on | legs;
}

// Slide 4, then slide 7 with the blocks from frame 8 on; he walks in from the right and
// stands still from frame 7 to the end.
Filmed filmFaint(int faint) {
  ChangeDetectorOptions options;
  options.slidePictureFaint = faint;
  std::vector<cv::Rect> blocks;
  const cv::Mat second = withBlocks(drawSlide(7, kScreen), blocks);
  return filmedRun(options, 20, [&](int t) {
    cv::Mat screen = t < 8 ? drawSlide(4, kScreen) : second.clone();
    drawShirted(screen, shirtOf(second), std::max(0, 380 - 60 * t));
    return filmed(screen, t);
  });
}

// The projector's light, a quarter dimmer at the top edge, comes up to full a little below
// the screen's upper third: few pixels up there lie near the slide's most common grey.
cv::Mat dimmedTowardsTop(const cv::Mat& screen) {
  cv::Mat out = screen.clone();
  const int full = screen.rows * 45 / 100;
  for (int y = 0; y < full; ++y) {
    const double gain = 0.74 + 0.26 * y / full;
    out.row(y).convertTo(out.row(y), -1, gain);
  }
  return out;
}

// Slide 7 all through; he walks in from the right, stands, points at its text from frame 7 to
// 10 and lowers his arm again.
Filmed filmTinted(int tintUpper) {
  ChangeDetectorOptions options;
  options.slideTintUpper = tintUpper;
  const cv::Mat slide = drawSlide(7, kScreen);
  const cv::Scalar beige = beigeOf(slide);
  const cv::Point hand(230, 170);
  return filmedRun(options, 16, [&](int t) {
    cv::Mat screen = slide.clone();
    const bool pointing = t >= 7 && t <= 10;
    drawSpeaker(screen, std::max(430, 700 - 70 * t), pointing ? &hand : nullptr, beige);
    return filmed(dimmedTowardsTop(screen), t);
  });
}

}  // namespace

TEST(StillSpeaker, InClothesOfTheSlidesGreyButAnotherTintIsNotInThePicture) {
  const cv::Mat second = drawSlide(7, kScreen);
  const cv::Scalar beige = beigeOf(second);
  cv::Mat unused = second.clone();
  const cv::Mat shape = drawSpeaker(unused, 440, nullptr, beige);
  const Filmed found = filmStill(1, beige), before = filmStill(0, beige);
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

TEST(FaintSpeaker, StandingStillInAShirtNearlyOfTheSlidesColourIsNotInThePicture) {
  std::vector<cv::Rect> blocks;
  const cv::Mat second = withBlocks(drawSlide(7, kScreen), blocks);
  const cv::Scalar shirt = shirtOf(second);
  cv::Mat drawn = second.clone();
  cv::Mat shape = drawShirted(drawn, shirt), trunk, plain;
  // His trunk away from its blurred outline and from the print he hid, which the fill smears
  // into greys of his shirt's lightness: there only the shirt can show.
  cv::erode(shape, trunk, cv::Mat(), {-1, -1}, 4);
  trunk.rowRange(0, 205).setTo(0);
  trunk.rowRange(345, trunk.rows).setTo(0);
  cv::inRange(second, backgroundPlus(second, cv::Scalar::all(-12)),
              backgroundPlus(second, cv::Scalar::all(12)), plain);
  cv::erode(plain, plain, cv::getStructuringElement(cv::MORPH_RECT, cv::Size(25, 25)));
  trunk &= plain;
  ASSERT_GT(cv::countNonZero(trunk), 1000);
  const Filmed found = filmFaint(1), before = filmFaint(0);
  EXPECT_EQ(found.changes, before.changes) << "the picture takes no part in the decision";
  ASSERT_FALSE(found.changes.empty());
  EXPECT_LE(clothingShown(found.picture, second, shirt, trunk), 0.02);
  // Told apart from the slide by nothing the picture's look knew before, he stayed in it.
  EXPECT_GE(clothingShown(before.picture, second, shirt, trunk), 0.5);
  EXPECT_LE(meanDifference(found.picture, second, trunk),
            0.5 * meanDifference(before.picture, second, trunk));
  // The pale blocks beside him keep their colour and their text.
  for (const cv::Rect& b : blocks) {
    cv::Mat inside = cv::Mat::zeros(kScreen, CV_8UC1);
    inside(b - cv::Size(8, 8) + cv::Point(4, 4)).setTo(255);
    EXPECT_LE(meanDifference(found.picture, second, inside), 6.0) << b;
    EXPECT_LE(meanDifference(found.picture, second, inside),
              meanDifference(before.picture, second, inside) + 1.0)
        << b;
  }
}

TEST(TintedSpeaker, WhoStandsAndPointsUnderLightFallingOffTowardsTheTopChangesNoSlide) {
  EXPECT_EQ(filmTinted(1).changes, std::vector<int>());
  // With the background's colour read near the whole slide's grey alone, too little of the
  // upper part lies there to tell his tint: his head and arm were new content.
  EXPECT_FALSE(filmTinted(0).changes.empty());
}
