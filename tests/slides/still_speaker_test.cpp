// Someone who stood through a slide change, found in the new image alone: a bar of the slide's
// that runs on beside him stays the slide's.

#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include "slides/still_speaker.h"

using namespace slidetrack;

namespace {

const cv::Size kWork(320, 240);
const int kPaper = 235, kBar = 70, kShirt = 150, kHead = 100;

// A title bar across the top, a box's header bar further down, and a person in front of the
// box; mask: him, with stubs of both bars beside his head and shoulders, as the look for a
// body joins a bar he touches.
void barsAndMask(cv::Mat& grey, cv::Mat& mask) {
  grey = cv::Mat(kWork, CV_8UC1, cv::Scalar(kPaper));
  cv::rectangle(grey, cv::Rect(0, 10, 320, 22), kBar, cv::FILLED);
  cv::rectangle(grey, cv::Rect(20, 110, 280, 12), kBar, cv::FILLED);
  cv::rectangle(grey, cv::Rect(130, 80, 60, 160), kShirt, cv::FILLED);
  cv::circle(grey, {160, 40}, 24, kHead, cv::FILLED);
  mask = cv::Mat::zeros(kWork, CV_8UC1);
  cv::rectangle(mask, cv::Rect(130, 80, 60, 160), 255, cv::FILLED);
  cv::circle(mask, {160, 40}, 24, 255, cv::FILLED);
  cv::rectangle(mask, cv::Rect(100, 10, 120, 22), 255, cv::FILLED);   // title bar stubs
  cv::rectangle(mask, cv::Rect(105, 110, 110, 12), 255, cv::FILLED);  // header stubs
}

}  // namespace

TEST(StillSpeaker, BarsRunningOnBesideHimStayTheSlides) {
  cv::Mat grey, mask;
  barsAndMask(grey, mask);
  trimBarsRunningOn(grey, kPaper, mask);
  // He stays: trunk, head, and his head where it stands against the title bar.
  for (const cv::Point& p : {cv::Point(160, 200), cv::Point(160, 116), cv::Point(160, 50),
                             cv::Point(160, 25), cv::Point(140, 116)})
    EXPECT_EQ(mask.at<unsigned char>(p), 255) << p;
  // The bars' stubs beside him go.
  for (const cv::Point& p : {cv::Point(105, 20), cv::Point(212, 20), cv::Point(110, 116),
                             cv::Point(210, 116), cv::Point(128, 116)})
    EXPECT_EQ(mask.at<unsigned char>(p), 0) << p;
}

TEST(StillSpeaker, BarsEndingBesideHimOrOfTheBackgroundsGreyLeaveHimWhole) {
  cv::Mat grey, mask;
  barsAndMask(grey, mask);
  // A bar that stops a few pixels past the mask is no bar running on: perhaps his own arm.
  cv::rectangle(grey, cv::Rect(0, 10, 95, 22), kPaper, cv::FILLED);
  cv::rectangle(grey, cv::Rect(225, 10, 95, 22), kPaper, cv::FILLED);
  // Nor is the slide's own background running on beside him.
  cv::rectangle(grey, cv::Rect(20, 110, 280, 12), kPaper + 5, cv::FILLED);
  const cv::Mat before = mask.clone();
  trimBarsRunningOn(grey, kPaper, mask);
  EXPECT_EQ(cv::countNonZero(mask != before), 0);
}
