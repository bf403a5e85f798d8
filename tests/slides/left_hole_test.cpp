// A speaker who stood in front of the slide and walks off as the next one appears leaves no
// hole behind him: what later changes where he stood is a change.

#include <gtest/gtest.h>

#include <vector>

#include <opencv2/imgproc.hpp>

#include "lecture_scene.h"
#include "screen_filming.h"
#include "slides/robust_change.h"

using namespace slidetrack;

namespace {

// A light shirt, a few tens of grey levels off the slide's background.
const cv::Scalar kShirt(205, 200, 200);

// Head, torso down to the bottom edge and an arm held at the given height, centred at x.
void drawSpeaker(cv::Mat& screen, int x, int handY) {
  cv::rectangle(screen, cv::Rect(x - 50, 280, 100, 200), kShirt, cv::FILLED);
  cv::rectangle(screen, cv::Rect(x - 30, 400, 60, 80), cv::Scalar(50, 45, 40), cv::FILLED);
  cv::line(screen, {x + 40, 300}, {x + 110, handY}, kShirt, 16);
  cv::circle(screen, {x, 245}, 28, cv::Scalar(120, 150, 190), cv::FILLED);
}

// The slide with lines of text added in the box.
cv::Mat withText(const cv::Mat& s, cv::Rect box) {
  cv::Mat out = s.clone();
  for (int y = box.y + 30; y < box.y + box.height; y += 40)
    cv::putText(out, "text", {box.x, y}, cv::FONT_HERSHEY_SIMPLEX, 1.0, cv::Scalar(30, 30, 30), 2,
                cv::LINE_AA);
  return out;
}

}  // namespace

TEST(LeftHole, ChangeWhereASpeakerStoodUntilTheSlideBeforeIsFound) {
  // He stands at x = 150 waving his arm, walks to x = 500 as the second slide shows, and
  // stays there; the third slide adds text where he stood.
  const cv::Mat first = drawSlide(3, kScreen);
  const cv::Mat second = withText(first, cv::Rect(380, 60, 200, 100));
  const cv::Mat third = withText(second, cv::Rect(110, 300, 100, 120));
  const Filmed run = filmedRun({}, 30, [&](int t) {
    cv::Mat screen = (t < 6 ? first : t < 20 ? second : third).clone();
    const int x = t < 3 ? -60 + 70 * t : t < 11 ? 150 : t < 13 ? 150 + 175 * (t - 10) : 500;
    drawSpeaker(screen, x, 250 + 30 * (t % 3));
    return filmed(screen, t, true);
  });
  EXPECT_EQ(run.changes, (std::vector<int>{6, 20}));
}
