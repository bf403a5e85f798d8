// A new slide whose table the person mask takes in is found, though the mask leaves a few
// cells by the speaker's turning head, which his body then explains away.

#include <gtest/gtest.h>

#include <vector>

#include <opencv2/imgproc.hpp>

#include "lecture_scene.h"
#include "screen_filming.h"
#include "slides/robust_change.h"

using namespace slidetrack;

namespace {

const cv::Scalar kClothing(60, 45, 40);

// Torso down to the bottom edge and a head that turns from side to side from frame 9 on.
void drawSpeaker(cv::Mat& screen, int x, int t) {
  cv::rectangle(screen, cv::Rect(x - 55, 280, 110, 200), kClothing, cv::FILLED);
  cv::circle(screen, {x + (t >= 9 ? 15 * (t % 2 * 2 - 1) : 0), 245}, 28, cv::Scalar(120, 150, 190),
             cv::FILLED);
}

std::vector<int> changesOf(const ChangeDetectorOptions& options) {
  // The table's rules reach the screen's edges, as a speaker does, so the person mask takes
  // them in.
  const cv::Mat s = drawSlide(4, kScreen), next = withTable(s, 200, 0, 640);
  return filmedRun(options, 16,
                   [&](int t) {
                     cv::Mat screen = (t < 9 ? s : next).clone();
                     drawSpeaker(screen, 300, t);
                     return filmed(screen, t, true);
                   })
      .changes;
}

}  // namespace

TEST(MaskedSlide, TableTheMaskTakesInBesideATurningHeadIsFound) {
  EXPECT_EQ(changesOf(ChangeDetectorOptions{}), std::vector<int>{9});
  // Judged beside him only when the mask leaves too few cells, the slide is missed.
  ChangeDetectorOptions maskFirst;
  maskFirst.slideBesideOverMask = 0;
  maskFirst.slideBesideSwallowed = 0;
  EXPECT_TRUE(changesOf(maskFirst).empty());
}
