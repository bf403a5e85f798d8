// A new slide whose lines the person mask took in the frame before the change was decided does
// not keep them hidden as his: a build over them later, while he still stands there, is found.
// Nor does its reference keep someone who stood still through the change as the slide.

#include <gtest/gtest.h>

#include <vector>

#include <opencv2/imgproc.hpp>

#include "screen_filming.h"

using namespace slidetrack;

namespace {

const cv::Scalar kInk(30, 30, 30), kDot(40, 40, 230);

// Lines of text from behind him to where his arm points, each over a rule.
cv::Mat withLines(const cv::Mat& s, const char* words) {
  cv::Mat out = s.clone();
  for (int k = 0; k < 4; ++k) {
    const int y = 170 + 40 * k;
    cv::line(out, {150, y + 8}, {450, y + 8}, kInk, 3);
    cv::putText(out, words, {60, y}, cv::FONT_HERSHEY_SIMPLEX, 0.8, kInk, 1, cv::LINE_AA);
  }
  return out;
}

// He points at the lines throughout; the slide gains them at frame 6 and has them reworded at
// frame 14.
std::vector<int> run(int settled) {
  ChangeDetectorOptions options;
  // The mask's cells alone then carry the first look, so the change is seen a frame late.
  options.slideBesideSwallowed = 0;
  options.slideStartSettled = settled;
  // A title over a plain slide: the lines come where it showed its background.
  cv::Mat s(kScreen, CV_8UC3, cv::Scalar(245, 245, 245));
  cv::putText(s, "A title", {60, 80}, cv::FONT_HERSHEY_SIMPLEX, 0.8, kInk, 1, cv::LINE_AA);
  const cv::Mat lines = withLines(s, "a line of new text");
  const cv::Mat build = withLines(s, "a line of old text");
  return filmedRun(
             options, 20,
             [&](int t) {
               cv::Mat screen = (t < 6 ? s : t < 14 ? lines : build).clone();
               const cv::Point hand(320 + 30 * (t % 2), 220);
               if (t >= 2) drawSpeaker(screen, 100, &hand);
               if (t == 5 || t == 6)
                 cv::circle(screen, {420 + 40 * (t - 5), 80 + 40 * (t - 5)}, 12, kDot, cv::FILLED);
               return filmed(screen, t);
             })
      .changes;
}

}  // namespace

TEST(StartHole, ABuildOverLinesTheMaskTookInAsTheSlideAppearedIsFound) {
  EXPECT_EQ(run(1), (std::vector<int>{7, 14}));
  // Kept as his from the slide's start, the lines hide the build.
  EXPECT_EQ(run(0), std::vector<int>{7});
}

namespace {

// He stands at x = 200 from the first frame, so the first slide's reference holds him, through
// a change of slide at frame 6, and walks to x = 500 from frame walksAt on. His shirt is near the
// slide's grey, which the look for a body in the reference misses.
Filmed standingRun(int standing, int count, int walksAt) {
  ChangeDetectorOptions options;
  options.slideStartStanding = standing;
  cv::Mat s(kScreen, CV_8UC3, cv::Scalar(245, 245, 245));
  cv::putText(s, "A title", {60, 80}, cv::FONT_HERSHEY_SIMPLEX, 0.8, kInk, 1, cv::LINE_AA);
  const cv::Mat next = withLines(s, "a line of new text");
  return filmedRun(options, count, [&](int t) {
    cv::Mat screen = (t < 6 ? s : next).clone();
    drawSpeaker(screen,
                t < walksAt       ? 200
                : t < walksAt + 1 ? 350
                                  : 500,
                nullptr, cv::Scalar(200, 215, 230));
    return filmed(screen, t);
  });
}

}  // namespace

TEST(StartHole, SomeoneWhoStoodThroughAChangeLeavesNoSlideWhenHeWalksAway) {
  EXPECT_EQ(standingRun(1, 18, 12).changes, std::vector<int>{6});
  // Held in the new reference, he leaves the slide he stood before as new content.
  EXPECT_GT(standingRun(0, 18, 12).changes.size(), 1u);
}

TEST(StartHole, SomeoneWhoStandsOnAfterTheChangeStaysOutOfItsPicture) {
  // He never moves after the change: his shirt, near the slide's grey, would pass for slide
  // uncovered once still for a few frames.
  const auto pictureOf = [](int standing) { return standingRun(standing, 16, 99).picture; };
  // His trunk below the slide's lines, where the slide is plain paper.
  const cv::Rect trunk(160, 350, 80, 100);
  const auto offPaper = [&](const cv::Mat& picture) {
    cv::Mat grey;
    cv::cvtColor(picture(trunk), grey, cv::COLOR_BGR2GRAY);
    return 245.0 - cv::mean(grey)[0];
  };
  EXPECT_LT(offPaper(pictureOf(1)), 6.0);
  // Taken in as the slide, his shirt stays in the picture.
  EXPECT_GT(offPaper(pictureOf(0)), 12.0);
}
