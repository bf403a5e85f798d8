// A speaker in clothes of the slide's grey, told apart only by their tint, who walks in, stands
// and points in front of a slide whose light falls off towards the top, changes no slide.

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include <opencv2/imgproc.hpp>

#include "lecture_scene.h"
#include "screen_filming.h"
#include "slides/robust_change.h"

using namespace slidetrack;

namespace {

// A beige of the slide's background grey: its blue is 34 levels below, its red 12 above.
cv::Scalar beigeOf(const cv::Mat& slide) {
  const cv::Vec3b b = slide.at<cv::Vec3b>(slide.rows - 5, slide.cols / 2);
  return cv::Scalar(b[0] - 34, b[1] + 1, b[2] + 12);
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
Filmed film(int tintUpper) {
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

TEST(TintedSpeaker, WhoStandsAndPointsUnderLightFallingOffTowardsTheTopChangesNoSlide) {
  EXPECT_EQ(film(1).changes, std::vector<int>());
  // With the background's colour read near the whole slide's grey alone, too little of the
  // upper part lies there to tell his tint: his head and arm were new content.
  EXPECT_FALSE(film(0).changes.empty());
}
