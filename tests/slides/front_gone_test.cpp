// A speaker in a shirt of nearly the slide's grey points at its title as the slide appears:
// the first look takes his arm and hand in. When he lowers them, the title they hid shows,
// which differs from the reference without being new content.

#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include "screen_filming.h"

using namespace slidetrack;

namespace {

const cv::Scalar kInk(30, 30, 30), kShirt(175, 215, 228), kSkin(60, 90, 140);

cv::Mat slideWith(const char* title, const char* words) {
  cv::Mat s(kScreen, CV_8UC3, cv::Scalar(235, 235, 235));
  cv::putText(s, title, {30, 50}, cv::FONT_HERSHEY_SIMPLEX, 1.1, kInk, 2, cv::LINE_AA);
  for (int k = 0; k < 5; ++k)
    cv::putText(s, words, {30, 150 + 45 * k}, cv::FONT_HERSHEY_SIMPLEX, 0.8, kInk, 1, cv::LINE_AA);
  return s;
}

// He stands at the right, his arm raised to the title or lowered at his side.
void drawSpeaker(cv::Mat& screen, bool raised) {
  cv::Mat shirt = cv::Mat::zeros(screen.size(), CV_8UC1);
  cv::rectangle(shirt, cv::Rect(450, 280, 120, 200), 255, cv::FILLED);
  if (raised) cv::line(shirt, {470, 290}, {200, 40}, 255, 26);
  screen.setTo(kShirt, shirt);
  cv::circle(screen, {510, 240}, 30, kSkin, cv::FILLED);
  if (raised) cv::circle(screen, {200, 40}, 15, kSkin, cv::FILLED);
}

std::vector<int> changes(int frontGone) {
  ChangeDetectorOptions options;
  options.slideFrontGone = frontGone;
  // He stands still through the change, which would leave him out of the new reference too.
  options.slideStartStanding = 0;
  const cv::Mat a = slideWith("The first title here", "some text of the first slide");
  const cv::Mat b = slideWith("Another title over it", "the second slide's own lines");
  return changesAcross(options, 20, 6, a, b, [](cv::Mat& s, int t) { drawSpeaker(s, t < 11); });
}

}  // namespace

TEST(FrontGone, ALoweredArmTheFirstLookTookStartsNoSlide) {
  EXPECT_EQ(changes(1), std::vector<int>{6});
}

TEST(FrontGone, WithoutItTheTitleHeUncoversIsNewContent) {
  EXPECT_EQ(changes(0), (std::vector<int>{6, 11}));
}
