// New content near a speaker is named at the frame it appears: a table his mask takes in, a box
// beside him wider than anyone standing there, a slide that appears while he walks across,
// lines running out from behind his pointing arm, a slide just after a small change elsewhere,
// and what changes where he stood until the slide before. What he does in front of an unchanged
// slide is no change.

#include <gtest/gtest.h>

#include <vector>

#include <opencv2/imgproc.hpp>

#include "lecture_scene.h"
#include "screen_filming.h"

using namespace slidetrack;

namespace {

const cv::Scalar kInk(30, 30, 30), kDot(40, 40, 230);

// Torso down to the bottom edge and a head that turns from side to side from frame 9 on.
void drawTurningHead(cv::Mat& screen, int x, int t) {
  cv::rectangle(screen, cv::Rect(x - 55, 280, 110, 200), cv::Scalar(60, 45, 40), cv::FILLED);
  cv::circle(screen, {x + (t >= 9 ? 15 * (t % 2 * 2 - 1) : 0), 245}, 28, cv::Scalar(120, 150, 190),
             cv::FILLED);
}

// A speaker close to the camera: twice the width of drawSpeaker's, from the head down.
void drawLargeSpeaker(cv::Mat& screen, int x) {
  cv::rectangle(screen, cv::Rect(x - 110, 200, 220, 280), cv::Scalar(70, 140, 60), cv::FILLED);
  cv::circle(screen, {x, 150}, 50, cv::Scalar(40, 60, 110), cv::FILLED);
}

// Head, torso in a light shirt a few tens of grey levels off the slide's background down to the
// bottom edge, and an arm held at the given height, centred at x.
void drawShirtedSpeaker(cv::Mat& screen, int x, int handY) {
  const cv::Scalar shirt(205, 200, 200);
  cv::rectangle(screen, cv::Rect(x - 50, 280, 100, 200), shirt, cv::FILLED);
  cv::rectangle(screen, cv::Rect(x - 30, 400, 60, 80), cv::Scalar(50, 45, 40), cv::FILLED);
  cv::line(screen, {x + 40, 300}, {x + 110, handY}, shirt, 16);
  cv::circle(screen, {x, 245}, 28, cv::Scalar(120, 150, 190), cv::FILLED);
}

// A pale box with two lines of text, from beside his shoulder to the right edge.
cv::Mat withBox(const cv::Mat& s) {
  cv::Mat out = s.clone();
  cv::rectangle(out, cv::Rect(100, 190, 520, 110), cv::Scalar(235, 205, 170), cv::FILLED);
  cv::rectangle(out, cv::Rect(100, 190, 520, 30), cv::Scalar(150, 90, 40), cv::FILLED);
  for (int k = 0; k < 2; ++k)
    cv::putText(out, "a new line of text in the box", {170, 260 + 40 * k}, cv::FONT_HERSHEY_SIMPLEX,
                1.0, kInk, 2, cv::LINE_AA);
  return out;
}

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

// The slide with lines of text added in the box.
cv::Mat withText(const cv::Mat& s, cv::Rect box) {
  cv::Mat out = s.clone();
  for (int y = box.y + 30; y < box.y + box.height; y += 40)
    cv::putText(out, "text", {box.x, y}, cv::FONT_HERSHEY_SIMPLEX, 1.0, kInk, 2, cv::LINE_AA);
  return out;
}

// He walks 100 pixels a processed frame from the left; the slide turns at changeAt.
std::vector<int> walkAcross(const cv::Mat& before, const cv::Mat& after, int changeAt,
                            int confirmMoving) {
  ChangeDetectorOptions options;
  options.slideConfirmMoving = confirmMoving;
  return changesAcross(options, 8, changeAt, before, after,
                       [](cv::Mat& screen, int t) { drawLargeSpeaker(screen, 20 + 100 * t); });
}

// He stands at x = 90 (swaying or not) while the slide turns at frame 6.
std::vector<int> besideHim(const cv::Mat& before, const cv::Mat& after, int wide, bool sway) {
  ChangeDetectorOptions options;
  options.slideBesideWide = wide;
  return changesAcross(options, 12, 6, before, after, [sway](cv::Mat& screen, int t) {
    drawSpeaker(screen, sway ? 90 + 25 * (t % 3) : 90);
  });
}

// He steps in, his hand moving along the lines he talks about, while a pointer's dot flicks
// across the slide as the lines appear at frame 6.
std::vector<int> pointing(const cv::Mat& before, const cv::Mat& after, int swallowed) {
  ChangeDetectorOptions options;
  options.slideBesideSwallowed = swallowed;
  return changesAcross(options, 12, 6, before, after, [](cv::Mat& screen, int t) {
    const cv::Point hand(320 + 30 * (t % 2), 220);
    if (t >= 2) drawSpeaker(screen, 100, &hand);
    if (t == 5 || t == 6)
      cv::circle(screen, {420 + 40 * (t - 5), 80 + 40 * (t - 5)}, 12, kDot, cv::FILLED);
  });
}

// He stands aside; a pointer's dot comes to rest on the slide a frame before it changes at 6.
std::vector<int> dotAtRest(const cv::Mat& before, const cv::Mat& after, int fresh) {
  ChangeDetectorOptions options;
  options.slideConfirmFresh = fresh;
  return changesAcross(options, 12, 6, before, after, [](cv::Mat& screen, int t) {
    if (t >= 2) drawSpeaker(screen, 200);
    if (t >= 5) cv::circle(screen, {80, 90}, 12, kDot, cv::FILLED);
  });
}

}  // namespace

// The table's rules reach the screen's edges, as a speaker does, so the person mask takes them
// in, though it leaves a few cells by his turning head, which his body then explains away.
TEST(MaskedSlide, TableTheMaskTakesInBesideATurningHeadIsFound) {
  const cv::Mat s = drawSlide(4, kScreen), next = withTable(s, 200, 0, 640);
  const auto turning = [](cv::Mat& screen, int t) { drawTurningHead(screen, 300, t); };
  EXPECT_EQ(changesAcross({}, 16, 9, s, next, turning, true), std::vector<int>{9});
  // Judged beside him only when the mask leaves too few cells, the slide is missed.
  ChangeDetectorOptions maskFirst;
  maskFirst.slideBesideOverMask = 0;
  maskFirst.slideBesideSwallowed = 0;
  EXPECT_TRUE(changesAcross(maskFirst, 16, 9, s, next, turning, true).empty());
}

// The box his mask takes in with him is found where it appears: no one standing there is as
// wide as it.
TEST(WideBeside, NewBoxBesideAStandingSpeakerIsFoundWhereItAppears) {
  const cv::Mat s = drawSlide(4, kScreen);
  EXPECT_EQ(besideHim(s, withBox(s), 1, false), std::vector<int>{6});
  // Held to the share a person beside him would need, it passes for part of him.
  EXPECT_NE(besideHim(s, withBox(s), 0, false), std::vector<int>{6});
  EXPECT_TRUE(besideHim(s, s, 1, true).empty()) << "swaying beside an unchanged slide";
}

// The cells he walks into or out of at the second look tell nothing about the slide. Stepping
// into more than half of the screen at once, he is a change judged without his mask; at the
// second look his body stands there still.
TEST(WalkingChange, NewSlideWhileHeWalksIsFoundWhereItAppearsAndWalkingAloneIsNoChange) {
  // The new slide keeps the old one's lower part, where the cells he leaves show it again.
  const cv::Mat s = drawSlide(2, kScreen);
  cv::Mat next = s.clone(), top = next(cv::Rect(0, 0, kScreen.width, 300));
  cv::Mat(drawSlide(5, kScreen)(cv::Rect(0, 0, kScreen.width, 300)) * 0.8).copyTo(top);
  for (int confirmMoving : {1, 0}) {
    EXPECT_EQ(walkAcross(s, next, 3, confirmMoving), std::vector<int>{3}) << confirmMoving;
    EXPECT_TRUE(walkAcross(s, s, 8, confirmMoving).empty()) << confirmMoving;
  }
}

TEST(NewContentTiming, LinesTouchingAPointingArmAreFoundWhereTheyAppear) {
  const cv::Mat s = drawSlide(3, kScreen);
  EXPECT_EQ(pointing(s, withLines(s), 1), std::vector<int>{6});
  // Left to the few cells the mask leaves, with the dot's among them, it waits a frame.
  EXPECT_EQ(pointing(s, withLines(s), 0), std::vector<int>{7});
  EXPECT_TRUE(pointing(s, s, 1).empty());
}

// The small change is dwarfed by what the slide's second look finds.
TEST(NewContentTiming, SlideJustAfterASmallChangeIsNamedWhereItAppears) {
  const cv::Mat s = drawSlide(3, kScreen);
  EXPECT_EQ(dotAtRest(s, withBlock(s), 1), std::vector<int>{6});
  EXPECT_EQ(dotAtRest(s, withBlock(s), 0), std::vector<int>{5});
  // The dot alone is a change of its own, named where it came to rest.
  EXPECT_EQ(dotAtRest(s, s, 1), std::vector<int>{5});
}

// A speaker who stood in front of the slide and walks off as the next one appears leaves no
// hole behind him: what later changes where he stood is a change.
TEST(LeftHole, ChangeWhereASpeakerStoodUntilTheSlideBeforeIsFound) {
  // He stands at x = 150 waving his arm, walks to x = 500 as the second slide shows, and
  // stays there; the third slide adds text where he stood.
  const cv::Mat first = drawSlide(3, kScreen);
  const cv::Mat second = withText(first, cv::Rect(380, 60, 200, 100));
  const cv::Mat third = withText(second, cv::Rect(110, 300, 100, 120));
  const Filmed run = filmedRun({}, 30, [&](int t) {
    cv::Mat screen = (t < 6 ? first : t < 20 ? second : third).clone();
    const int x = t < 3 ? -60 + 70 * t : t < 11 ? 150 : t < 13 ? 150 + 175 * (t - 10) : 500;
    drawShirtedSpeaker(screen, x, 250 + 30 * (t % 3));
    return filmed(screen, t, true);
  });
  EXPECT_EQ(run.changes, (std::vector<int>{6, 20}));
}
