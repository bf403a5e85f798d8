// A slide started from outside the decision (the matcher saw another original the decision
// missed), whose new lines the person mask had taken in beside the speaker, does not keep them
// hidden as his.

#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include "screen_filming.h"

using namespace slidetrack;

namespace {

const cv::Scalar kInk(30, 30, 30);

// Lines of text written on rules that run under his arm.
cv::Mat withLines(const cv::Mat& s) {
  cv::Mat out = s.clone();
  for (int k = 0; k < 4; ++k) {
    const int y = 170 + 40 * k;
    cv::line(out, {150, y + 8}, {450, y + 8}, kInk, 3);
    cv::putText(out, "a line of new text", {160, y + 7}, cv::FONT_HERSHEY_SIMPLEX, 0.8, kInk, 1,
                cv::LINE_AA);
  }
  return out;
}

// He comes in at frame 2 and points at where the lines appear at frame 6; the slide is started
// anew at frame 9. The share of the lines' letters clear of him that the decision still holds
// hidden at frame 19.
double hiddenShare(int restartLines) {
  ChangeDetectorOptions options;
  options.slideRestartLines = restartLines;
  // The decision sees no change itself: the lines join his mask, and the restart alone starts
  // the slide.
  options.slideChangeCells = 100000;
  cv::Mat s(kScreen, CV_8UC3, cv::Scalar(245, 245, 245));
  cv::putText(s, "A title", {60, 80}, cv::FONT_HERSHEY_SIMPLEX, 0.8, kInk, 1, cv::LINE_AA);
  const cv::Mat lines = withLines(s);
  cv::theRNG().state = 0xffffffffu;
  RobustChangeDetector detector(options);
  for (int t = 0; t < 20; ++t) {
    cv::Mat screen = (t < 6 ? s : lines).clone();
    const cv::Point hand(320 + 30 * (t % 2), 220);
    if (t >= 2) drawSpeaker(screen, 100, &hand);
    const cv::Mat frame = filmed(screen, t);
    EXPECT_FALSE(detector.process(frame).changed);
    if (t == 9) detector.restart(frame);
  }
  // The letters, without their rules, a margin clear of him in either pose.
  cv::Mat letters, him = cv::Mat::zeros(kScreen, CV_8UC3);
  cv::absdiff(lines, s, letters);
  cv::cvtColor(letters, letters, cv::COLOR_BGR2GRAY);
  letters = letters > 40;
  for (int k = 0; k < 4; ++k) cv::line(letters, {150, 178 + 40 * k}, {450, 178 + 40 * k}, 0, 7);
  const cv::Point low(320, 220), high(350, 220);
  cv::Mat shape = drawSpeaker(him, 100, &low) | drawSpeaker(him, 100, &high);
  cv::dilate(shape, shape, cv::Mat(), {-1, -1}, 12);
  letters.setTo(0, shape);
  cv::resize(letters, letters, detector.coveredMask().size(), 0, 0, cv::INTER_NEAREST);
  return double(cv::countNonZero(letters & detector.coveredMask())) / cv::countNonZero(letters);
}

}  // namespace

TEST(RestartLines, NewLinesTheMaskTookInAreSeenOnceTheSlideIsStartedAnew) {
  EXPECT_LT(hiddenShare(1), 0.4);
  // Kept as his from the restart on, most of them stay hidden.
  EXPECT_GT(hiddenShare(0), 0.5);
}
