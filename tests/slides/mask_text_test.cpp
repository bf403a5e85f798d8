// A new line of text beside the speaker is told from his still arm and from text the
// reference already has.

#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include "slides/mask_text.h"
#include "slides/shift_diff.h"

using namespace slidetrack;

namespace {

// A light slide at work size with a dark body at the left edge and an arm held out.
cv::Mat slideWithSpeaker() {
  cv::Mat s(240, 320, CV_8UC1, cv::Scalar(220));
  cv::putText(s, "old line", {120, 40}, cv::FONT_HERSHEY_SIMPLEX, 0.5, cv::Scalar(30), 1,
              cv::LINE_AA);
  cv::rectangle(s, {0, 80}, {70, 239}, cv::Scalar(90), cv::FILLED);
  return s;
}

int textIn(const cv::Mat& text, const cv::Rect& r) { return cv::countNonZero(text(r)); }

}  // namespace

TEST(MaskText, ANewLineBesideHimIsTextHisStillArmIsNot) {
  const cv::Mat ref = slideWithSpeaker();
  cv::Mat work = ref.clone();
  cv::putText(work, "matching in the graph", {74, 205}, cv::FONT_HERSHEY_SIMPLEX, 0.45,
              cv::Scalar(30), 1, cv::LINE_AA);
  cv::rectangle(work, {70, 110}, {200, 122}, cv::Scalar(90), cv::FILLED);
  cv::Mat changed, moving = cv::Mat::zeros(work.size(), CV_8UC1), text;
  shiftTolerantChange(work, ref, 24, changed);
  newTextLines(work, ref, changed, moving, cv::Mat(), 220, text);
  EXPECT_GT(textIn(text, {74, 190, 200, 20}), 200);
  EXPECT_EQ(textIn(text, {72, 105, 140, 22}), 0);  // the arm
  EXPECT_EQ(textIn(text, {100, 25, 120, 20}), 0);  // the old line
}

TEST(MaskText, ALineThatMovesIsNoText) {
  const cv::Mat ref = slideWithSpeaker();
  cv::Mat work = ref.clone();
  cv::putText(work, "matching in the graph", {74, 205}, cv::FONT_HERSHEY_SIMPLEX, 0.45,
              cv::Scalar(30), 1, cv::LINE_AA);
  cv::Mat changed, text;
  shiftTolerantChange(work, ref, 24, changed);
  const cv::Mat moving = changed.clone();  // shown at this very frame by a moving hand
  newTextLines(work, ref, changed, moving, cv::Mat(), 220, text);
  EXPECT_EQ(cv::countNonZero(text), 0);
}

TEST(MaskText, TextUncoveredWhereTheReferenceHeldHimIsNotNew) {
  cv::Mat ref = slideWithSpeaker();
  cv::rectangle(ref, {70, 185}, {260, 215}, cv::Scalar(90), cv::FILLED);  // his arm, taken in
  cv::Mat work = slideWithSpeaker();
  cv::putText(work, "matching in the graph", {74, 205}, cv::FONT_HERSHEY_SIMPLEX, 0.45,
              cv::Scalar(30), 1, cv::LINE_AA);
  cv::Mat changed, moving = cv::Mat::zeros(work.size(), CV_8UC1), text;
  shiftTolerantChange(work, ref, 24, changed);
  newTextLines(work, ref, changed, moving, cv::Mat(), 220, text);
  EXPECT_EQ(cv::countNonZero(text), 0);
}
