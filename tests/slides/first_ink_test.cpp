// The first pen strokes on a slide, with no earlier ink to know the pen by, are ink: a line
// and a circle written at a speaker's hand between two processed frames. A bullet of black
// text or a line of red text shown below them afterwards is a build. A circle his mask takes
// in but for its ends beside him is ink too.

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include <opencv2/imgproc.hpp>

#include "lecture_scene.h"
#include "screen_filming.h"

using namespace slidetrack;

namespace {

const cv::Scalar kPen(30, 30, 210);

// The slide with a red word in its text, as a template's highlights are.
cv::Mat slideWithRedWord() {
  cv::Mat s = drawSlide(2, kScreen);
  cv::rectangle(s, cv::Rect(200, 180, 430, 250), cv::Scalar(245, 246, 240), cv::FILLED);
  cv::putText(s, "rows and", {220, 220}, cv::FONT_HERSHEY_SIMPLEX, 0.9, cv::Scalar(20, 20, 20), 2,
              cv::LINE_AA);
  cv::putText(s, "columns", {380, 220}, cv::FONT_HERSHEY_SIMPLEX, 0.9, cv::Scalar(30, 30, 200), 2,
              cv::LINE_AA);
  return s;
}

// A line under the red word and a circle round a spot below it.
void writeFirstStrokes(cv::Mat& s) {
  cv::line(s, {370, 234}, {520, 238}, kPen, 2, cv::LINE_AA);
  cv::ellipse(s, {470, 300}, {55, 30}, 0, 0, 330, kPen, 2, cv::LINE_AA);
}

std::vector<int> changesWith(int inkShape) {
  ChangeDetectorOptions options;
  options.slideInkShape = inkShape;
  const cv::Mat s = slideWithRedWord();
  cv::Mat inked = s.clone();
  writeFirstStrokes(inked);
  cv::Mat bullet = inked.clone(), red = inked.clone();
  cv::putText(bullet, "a new point", {300, 390}, cv::FONT_HERSHEY_SIMPLEX, 0.9,
              cv::Scalar(30, 30, 30), 2, cv::LINE_AA);
  red = bullet.clone();
  cv::putText(red, "a red remark", {300, 430}, cv::FONT_HERSHEY_SIMPLEX, 0.9, kPen, 2, cv::LINE_AA);
  return filmedRun(options, 26,
                   [&](int t) {
                     cv::Mat screen = (t < 6 ? s : t < 12 ? inked : t < 19 ? bullet : red).clone();
                     // He walks in from the left and writes, his hand at the start of
                     // the underline.
                     const cv::Point hand(350 + 6 * (t % 3), 260 + 4 * (t % 2));
                     drawSpeaker(screen, std::min(150, -50 + 50 * t), t >= 5 ? &hand : nullptr);
                     return filmed(screen, t);
                   })
      .changes;
}

}  // namespace

TEST(FirstInk, FirstStrokesAreInkButABulletOrRedLineAfterThemIsABuild) {
  EXPECT_EQ(changesWith(1), (std::vector<int>{12, 19}));
}

TEST(FirstInk, WithoutTheShapeRuleTheFirstStrokesAreAChange) {
  EXPECT_EQ(changesWith(0), (std::vector<int>{6, 12, 19}));
}

TEST(FirstInk, CircleRoundHisHandThatShowsOnlyBesideHimIsInk) {
  // His hand hangs low beside him as he circles a spot there: his mask takes in most of the
  // circle, and what shows of it lies along his outline.
  const cv::Mat s = slideWithRedWord();
  ChangeDetectorOptions options;
  options.slideInkShape = 1;
  const std::vector<int> changes =
      filmedRun(options, 14, [&](int t) {
        cv::Mat screen = s.clone();
        if (t >= 6) cv::ellipse(screen, {265, 430}, {30, 22}, 0, 0, 360, kPen, 2, cv::LINE_AA);
        const cv::Point hand(240 + 4 * (t % 2), 420 + 3 * (t % 3));
        drawSpeaker(screen, std::min(150, -50 + 50 * t), t >= 4 ? &hand : nullptr);
        return filmed(screen, t);
      }).changes;
  EXPECT_TRUE(changes.empty()) << "first at " << changes.front();
}
