// A speaker who stands still all through a slide in a shirt barely off its grey and tint stays
// out of its picture, and the slide's pale coloured blocks beside him stay in it.

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include <opencv2/imgproc.hpp>

#include "lecture_scene.h"
#include "screen_filming.h"
#include "slides/robust_change.h"

using namespace slidetrack;

namespace {

const cv::Scalar kPaleGreen(205, 235, 205);

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

// The slide's background less a little grey and with a faint blue-grey cast, as a pale shirt
// under a projector's light looks: no channel, nor the tint, differs as clothing usually does.
cv::Scalar shirtOf(const cv::Mat& slide) {
  const cv::Vec3b b = slide.at<cv::Vec3b>(slide.rows - 5, slide.cols / 2);
  return cv::Scalar(b[0] - 23, b[1] - 11, b[2] - 2);
}

// Head, trunk and arms in the shirt, dark legs down to the bottom edge, dx pixels right of
// where he stops; 255 on him.
cv::Mat drawSpeaker(cv::Mat& screen, cv::Scalar shirt, int dx = 0) {
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
Filmed film(int faint) {
  ChangeDetectorOptions options;
  options.slidePictureFaint = faint;
  std::vector<cv::Rect> blocks;
  const cv::Mat second = withBlocks(drawSlide(7, kScreen), blocks);
  return filmedRun(options, 20, [&](int t) {
    cv::Mat screen = t < 8 ? drawSlide(4, kScreen) : second.clone();
    drawSpeaker(screen, shirtOf(second), std::max(0, 380 - 60 * t));
    return filmed(screen, t);
  });
}

// Share of shape where the picture lies within 12 levels of colour in every channel.
double shownIn(const cv::Mat& picture, cv::Scalar colour, const cv::Mat& shape) {
  cv::Mat shown;
  cv::inRange(picture, colour - cv::Scalar::all(12), colour + cv::Scalar::all(12), shown);
  return cv::countNonZero(shown & shape) / double(cv::countNonZero(shape));
}

}  // namespace

TEST(FaintSpeaker, StandingStillInAShirtNearlyOfTheSlidesColourIsNotInThePicture) {
  std::vector<cv::Rect> blocks;
  const cv::Mat second = withBlocks(drawSlide(7, kScreen), blocks);
  const cv::Scalar shirt = shirtOf(second);
  cv::Mat drawn = second.clone();
  cv::Mat shape = drawSpeaker(drawn, shirt), trunk, plain;
  // His trunk away from its blurred outline and from the print he hid, which the fill smears
  // into greys of his shirt's lightness: there only the shirt can show.
  cv::erode(shape, trunk, cv::Mat(), {-1, -1}, 4);
  trunk.rowRange(0, 205).setTo(0);
  trunk.rowRange(345, trunk.rows).setTo(0);
  const cv::Vec3b background = second.at<cv::Vec3b>(second.rows - 5, second.cols / 2);
  cv::inRange(second, cv::Scalar(background) - cv::Scalar::all(12),
              cv::Scalar(background) + cv::Scalar::all(12), plain);
  cv::erode(plain, plain, cv::getStructuringElement(cv::MORPH_RECT, cv::Size(25, 25)));
  trunk &= plain;
  ASSERT_GT(cv::countNonZero(trunk), 1000);
  const Filmed found = film(1), before = film(0);
  EXPECT_EQ(found.changes, before.changes) << "the picture takes no part in the decision";
  ASSERT_FALSE(found.changes.empty());
  EXPECT_LE(shownIn(found.picture, shirt, trunk), 0.02);
  // Told apart from the slide by nothing the picture's look knew before, he stayed in it.
  EXPECT_GE(shownIn(before.picture, shirt, trunk), 0.5);
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
