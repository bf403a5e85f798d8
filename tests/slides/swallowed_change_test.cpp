// New lines of text that run out from behind a pointing speaker are found where they appear:
// his mask takes in the lines that touch his arm and leaves only a few cells of them, which
// whatever else passed over the slide would undo at the second look.

#include <gtest/gtest.h>

#include <vector>

#include <opencv2/imgproc.hpp>

#include "lecture_scene.h"
#include "screen_filming.h"

using namespace slidetrack;

namespace {

// Four lines of text, each over a rule, from behind him to where his arm points.
cv::Mat withLines(const cv::Mat& s) {
  cv::Mat out = s.clone();
  for (int k = 0; k < 4; ++k) {
    const int y = 190 + 40 * k;
    cv::line(out, {150, y + 8}, {450, y + 8}, cv::Scalar(30, 30, 30), 3);
    cv::putText(out, "a line of new text", {60, y}, cv::FONT_HERSHEY_SIMPLEX, 1.0,
                cv::Scalar(30, 30, 30), 2, cv::LINE_AA);
  }
  return out;
}

std::vector<int> run(const cv::Mat& before, const cv::Mat& after, int swallowed) {
  ChangeDetectorOptions options;
  options.slideBesideSwallowed = swallowed;
  return filmedRun(options, 12,
                   [&](int t) {
                     cv::Mat screen = (t < 6 ? before : after).clone();
                     // He steps in, his hand moving along the lines he talks about.
                     const cv::Point hand(320 + 30 * (t % 2), 220);
                     if (t >= 2) drawSpeaker(screen, 100, &hand);
                     // A pointer's dot flicks across the slide as the lines appear.
                     if (t == 5 || t == 6)
                       cv::circle(screen, {420 + 40 * (t - 5), 80 + 40 * (t - 5)}, 12,
                                  cv::Scalar(40, 40, 230), cv::FILLED);
                     return filmed(screen, t);
                   })
      .changes;
}

}  // namespace

TEST(SwallowedChange, LinesTouchingAPointingArmAreFoundWhereTheyAppear) {
  const cv::Mat s = drawSlide(3, kScreen);
  EXPECT_EQ(run(s, withLines(s), 1), std::vector<int>{6});
  // Left to the few cells the mask leaves, with the dot's among them, it waits a frame.
  EXPECT_EQ(run(s, withLines(s), 0), std::vector<int>{7});
}

TEST(SwallowedChange, PointingInFrontOfAnUnchangedSlideIsNoChange) {
  const cv::Mat s = drawSlide(3, kScreen);
  EXPECT_TRUE(run(s, s, 1).empty());
}
