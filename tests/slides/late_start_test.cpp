// A slide that appears just after something else on the screen changed a little is named
// where it appears: the small change, seen first and still there at the second look, is
// dwarfed by the new slide.

#include <gtest/gtest.h>

#include <vector>

#include <opencv2/imgproc.hpp>

#include "lecture_scene.h"
#include "screen_filming.h"

using namespace slidetrack;

namespace {

// A block of new lines right of him.
cv::Mat withBlock(const cv::Mat& s) {
  cv::Mat out = s.clone();
  for (int k = 0; k < 5; ++k)
    cv::putText(out, "new text here", {380, 120 + 45 * k}, cv::FONT_HERSHEY_SIMPLEX, 1.0,
                cv::Scalar(30, 30, 30), 2, cv::LINE_AA);
  return out;
}

std::vector<int> run(const cv::Mat& before, const cv::Mat& after, int fresh) {
  ChangeDetectorOptions options;
  options.slideConfirmFresh = fresh;
  return filmedRun(options, 12,
                   [&](int t) {
                     cv::Mat screen = (t < 6 ? before : after).clone();
                     if (t >= 2) drawSpeaker(screen, 200);
                     // A pointer's dot comes to rest on the slide a frame before it changes.
                     if (t >= 5)
                       cv::circle(screen, {80, 90}, 12, cv::Scalar(40, 40, 230), cv::FILLED);
                     return filmed(screen, t);
                   })
      .changes;
}

}  // namespace

TEST(LateStart, SlideJustAfterASmallChangeIsNamedWhereItAppears) {
  const cv::Mat s = drawSlide(3, kScreen);
  EXPECT_EQ(run(s, withBlock(s), 1), std::vector<int>{6});
  EXPECT_EQ(run(s, withBlock(s), 0), std::vector<int>{5});
}

TEST(LateStart, ASmallChangeAloneIsNamedWhereItAppears) {
  const cv::Mat s = drawSlide(3, kScreen);
  EXPECT_EQ(run(s, s, 1), std::vector<int>{5});
}
