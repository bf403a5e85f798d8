#include "slides/speaker_body.h"

#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include "lecture_scene.h"
#include "slides/shift_diff.h"

using namespace slidetrack;

namespace {

cv::Mat workImage(const cv::Mat& screen) {
  cv::Mat grey, work;
  screenWorkImage(screen, grey, work);
  return work;
}

// A person in front of the slide, his arm reaching into it.
cv::Mat withSpeaker(cv::Mat screen) {
  cv::Mat shape = cv::Mat::zeros(screen.size(), CV_8UC1);
  cv::rectangle(shape, cv::Rect(365, 285, 110, 200), 255, cv::FILLED);
  cv::line(shape, {460, 300}, {230, 170}, 255, 36);
  screen.setTo(cv::Scalar(60, 45, 40), shape);
  cv::circle(screen, {420, 250}, 28, cv::Scalar(120, 150, 190), cv::FILLED);
  return screen;
}

}  // namespace

TEST(SpeakerBody, FindsAPersonWithHisArmButNotTheSlidesOwnShapes) {
  const cv::Mat slide = drawSlide(6, cv::Size(640, 480));
  const cv::Mat all(240, 320, CV_8UC1, cv::Scalar(255));
  cv::Mat body;
  speakerBody(workImage(withSpeaker(slide.clone())), 244, all, body);
  EXPECT_TRUE(body.at<unsigned char>(200, 210));  // torso
  EXPECT_TRUE(body.at<unsigned char>(85, 115));   // hand
  EXPECT_FALSE(body.at<unsigned char>(20, 40));   // the title, far from him

  // Nothing there moves: a plain shape at the bottom is the slide's.
  speakerBody(workImage(withSpeaker(slide.clone())), 244, cv::Mat::zeros(all.size(), CV_8UC1),
              body);
  EXPECT_EQ(cv::countNonZero(body), 0);

  // A footer bar runs the screen's width; a side bar comes down from the top.
  cv::Mat bars = slide.clone();
  cv::rectangle(bars, cv::Rect(0, 440, 640, 40), cv::Scalar(90, 40, 30), cv::FILLED);
  cv::rectangle(bars, cv::Rect(560, 0, 80, 440), cv::Scalar(90, 90, 90), cv::FILLED);
  speakerBody(workImage(bars), 244, all, body);
  EXPECT_EQ(cv::countNonZero(body), 0);
}
