// A new slide's box beside a standing speaker, which his mask takes in with him, is found
// where it appears: no one standing there is as wide as it.

#include <gtest/gtest.h>

#include <vector>

#include <opencv2/imgproc.hpp>

#include "lecture_scene.h"
#include "screen_filming.h"

using namespace slidetrack;

namespace {

// A pale box with two lines of text, from beside his shoulder to the right edge.
cv::Mat withBox(const cv::Mat& s) {
  cv::Mat out = s.clone();
  cv::rectangle(out, cv::Rect(100, 190, 520, 110), cv::Scalar(235, 205, 170), cv::FILLED);
  cv::rectangle(out, cv::Rect(100, 190, 520, 30), cv::Scalar(150, 90, 40), cv::FILLED);
  for (int k = 0; k < 2; ++k)
    cv::putText(out, "a new line of text in the box", {170, 260 + 40 * k}, cv::FONT_HERSHEY_SIMPLEX,
                1.0, cv::Scalar(30, 30, 30), 2, cv::LINE_AA);
  return out;
}

std::vector<int> run(const cv::Mat& before, const cv::Mat& after, int wide, bool sway) {
  ChangeDetectorOptions options;
  options.slideBesideWide = wide;
  return filmedRun(options, 12,
                   [&](int t) {
                     cv::Mat screen = (t < 6 ? before : after).clone();
                     drawSpeaker(screen, sway ? 90 + 25 * (t % 3) : 90);
                     return filmed(screen, t);
                   })
      .changes;
}

}  // namespace

TEST(WideBeside, NewBoxBesideAStandingSpeakerIsFoundWhereItAppears) {
  const cv::Mat s = drawSlide(4, kScreen);
  EXPECT_EQ(run(s, withBox(s), 1, false), std::vector<int>{6});
  // Held to the share a person beside him would need, it passes for part of him.
  EXPECT_NE(run(s, withBox(s), 0, false), std::vector<int>{6});
}

TEST(WideBeside, SpeakerSwayingBesideAnUnchangedSlideIsNoChange) {
  const cv::Mat s = drawSlide(4, kScreen);
  EXPECT_TRUE(run(s, s, 1, true).empty());
}
