// New content near a speaker is named at the frame it appears: lines his mask takes in as they
// run out from behind his pointing arm, and a slide that appears just after a small change
// elsewhere on the screen, which its second look dwarfs.

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include <opencv2/imgproc.hpp>

#include "lecture_scene.h"
#include "screen_filming.h"

using namespace slidetrack;

namespace {

const cv::Scalar kInk(30, 30, 30), kDot(40, 40, 230);

// Four lines of text, each over a rule, from behind him to where his arm points.
cv::Mat withLines(const cv::Mat& s) {
  cv::Mat out = s.clone();
  for (int k = 0; k < 4; ++k) {
    const int y = 190 + 40 * k;
    cv::line(out, {150, y + 8}, {450, y + 8}, kInk, 3);
    cv::putText(out, "a line of new text", {60, y}, cv::FONT_HERSHEY_SIMPLEX, 1.0, kInk, 2,
                cv::LINE_AA);
  }
  return out;
}

// A block of new lines right of him.
cv::Mat withBlock(const cv::Mat& s) {
  cv::Mat out = s.clone();
  for (int k = 0; k < 5; ++k)
    cv::putText(out, "new text here", {380, 120 + 45 * k}, cv::FONT_HERSHEY_SIMPLEX, 1.0, kInk, 2,
                cv::LINE_AA);
  return out;
}

// The slide turns from before to after at frame 6; extra draws the speaker and whatever
// else passes.
std::vector<int> run(const ChangeDetectorOptions& options, const cv::Mat& before,
                     const cv::Mat& after, const std::function<void(cv::Mat&, int)>& extra) {
  return filmedRun(options, 12,
                   [&](int t) {
                     cv::Mat screen = (t < 6 ? before : after).clone();
                     extra(screen, t);
                     return filmed(screen, t);
                   })
      .changes;
}

// He steps in, his hand moving along the lines he talks about, while a pointer's dot flicks
// across the slide as the lines appear.
std::vector<int> pointing(const cv::Mat& before, const cv::Mat& after, int swallowed) {
  ChangeDetectorOptions options;
  options.slideBesideSwallowed = swallowed;
  return run(options, before, after, [](cv::Mat& screen, int t) {
    const cv::Point hand(320 + 30 * (t % 2), 220);
    if (t >= 2) drawSpeaker(screen, 100, &hand);
    if (t == 5 || t == 6)
      cv::circle(screen, {420 + 40 * (t - 5), 80 + 40 * (t - 5)}, 12, kDot, cv::FILLED);
  });
}

// He stands aside; a pointer's dot comes to rest on the slide a frame before it changes.
std::vector<int> dotAtRest(const cv::Mat& before, const cv::Mat& after, int fresh) {
  ChangeDetectorOptions options;
  options.slideConfirmFresh = fresh;
  return run(options, before, after, [](cv::Mat& screen, int t) {
    if (t >= 2) drawSpeaker(screen, 200);
    if (t >= 5) cv::circle(screen, {80, 90}, 12, kDot, cv::FILLED);
  });
}

}  // namespace

TEST(NewContentTiming, LinesTouchingAPointingArmAreFoundWhereTheyAppear) {
  const cv::Mat s = drawSlide(3, kScreen);
  EXPECT_EQ(pointing(s, withLines(s), 1), std::vector<int>{6});
  // Left to the few cells the mask leaves, with the dot's among them, it waits a frame.
  EXPECT_EQ(pointing(s, withLines(s), 0), std::vector<int>{7});
  EXPECT_TRUE(pointing(s, s, 1).empty());
}

TEST(NewContentTiming, SlideJustAfterASmallChangeIsNamedWhereItAppears) {
  const cv::Mat s = drawSlide(3, kScreen);
  EXPECT_EQ(dotAtRest(s, withBlock(s), 1), std::vector<int>{6});
  EXPECT_EQ(dotAtRest(s, withBlock(s), 0), std::vector<int>{5});
  // The dot alone is a change of its own, named where it came to rest.
  EXPECT_EQ(dotAtRest(s, s, 1), std::vector<int>{5});
}
