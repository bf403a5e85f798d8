// Strokes of one pen share its hue; a coloured sleeve is another pen.

#include "slides/ink_strokes.h"

#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

using namespace slidetrack;

TEST(InkStrokes, StrokesOfOnePenShareTheirColourAndASleeveIsAnother) {
  cv::Mat screen(240, 320, CV_8UC3, cv::Scalar(245, 245, 245));
  cv::Mat red = cv::Mat::zeros(120, 160, CV_8UC1), darkRed = red.clone(), sleeve = red.clone();
  // A red underline, a red circle in dimmer light, and a cyan arm, on a half-size map.
  cv::line(screen, {20, 200}, {140, 202}, cv::Scalar(30, 30, 210), 3);
  cv::line(red, {10, 100}, {70, 101}, 255, 2);
  cv::circle(screen, {240, 60}, 30, cv::Scalar(25, 25, 150), 3);
  cv::circle(darkRed, {120, 30}, 15, 255, 2);
  cv::line(screen, {180, 220}, {300, 140}, cv::Scalar(200, 190, 30), 6);
  cv::line(sleeve, {90, 110}, {150, 70}, 255, 2);
  EXPECT_TRUE(sameInk(screen, red, darkRed));
  EXPECT_FALSE(sameInk(screen, red, sleeve));
  // Nothing to compare says nothing against it.
  EXPECT_TRUE(sameInk(screen, red, cv::Mat::zeros(red.size(), CV_8UC1)));
}
