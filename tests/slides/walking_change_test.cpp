// A new slide that appears while a large speaker walks across the screen is found at once:
// the cells he walks into or out of at the second look tell nothing about the slide.

#include <gtest/gtest.h>

#include <vector>

#include <opencv2/imgproc.hpp>

#include "lecture_scene.h"
#include "screen_filming.h"

using namespace slidetrack;

namespace {

// A speaker close to the camera: twice the width of drawSpeaker's, from the head down.
void drawLargeSpeaker(cv::Mat& screen, int x) {
  cv::rectangle(screen, cv::Rect(x - 110, 200, 220, 280), cv::Scalar(70, 140, 60), cv::FILLED);
  cv::circle(screen, {x, 150}, 50, cv::Scalar(40, 60, 110), cv::FILLED);
}

// Where he stands: walking 100 pixels a processed frame from the left.
int walkerAt(int t) { return 20 + 100 * t; }

std::vector<int> walkAcross(const cv::Mat& before, const cv::Mat& after, int changeAt,
                            int confirmMoving) {
  ChangeDetectorOptions options;
  options.slideConfirmMoving = confirmMoving;
  return filmedRun(options, 8,
                   [&](int t) {
                     cv::Mat screen = (t < changeAt ? before : after).clone();
                     drawLargeSpeaker(screen, walkerAt(t));
                     return filmed(screen, t);
                   })
      .changes;
}

}  // namespace

TEST(WalkingChange, NewSlideWhileHeWalksIsFoundWhereItAppears) {
  // The new slide keeps the old one's lower part, where the cells he leaves show it again.
  const cv::Mat s = drawSlide(2, kScreen);
  cv::Mat next = s.clone(), top = next(cv::Rect(0, 0, kScreen.width, 300));
  cv::Mat(drawSlide(5, kScreen)(cv::Rect(0, 0, kScreen.width, 300)) * 0.8).copyTo(top);
  EXPECT_EQ(walkAcross(s, next, 3, 1), std::vector<int>{3});
  EXPECT_EQ(walkAcross(s, next, 3, 0), std::vector<int>{3});
}

TEST(WalkingChange, WalkingInFrontOfAnUnchangedSlideIsNoChange) {
  // Stepping into more than half of the screen at once, he is a change judged without his
  // mask; at the second look his body stands there still.
  const cv::Mat s = drawSlide(2, kScreen);
  EXPECT_TRUE(walkAcross(s, s, 8, 1).empty());
  EXPECT_TRUE(walkAcross(s, s, 8, 0).empty());
}
