// Filling what the speaker hid for the whole slide from the slide around it.
#include "slides/hole_fill.h"

#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include "lecture_scene.h"

using namespace slidetrack;

TEST(HoleFill, BarsRunOnBehindHimAndNothingSeenChanges) {
  // A slide with a dark title bar and a coloured block; he hid a tall region across both.
  cv::Mat slide = drawSlide(4, {640, 480});
  cv::rectangle(slide, cv::Rect(0, 200, 640, 40), cv::Scalar(120, 40, 30), cv::FILLED);
  cv::Mat hole = cv::Mat::zeros(slide.size(), CV_8UC1);
  cv::rectangle(hole, cv::Rect(250, 0, 120, 480), 255, cv::FILLED);
  // Strokes of letters right beside it on both sides are no bar to draw across.
  cv::line(slide, {248, 366}, {248, 374}, cv::Scalar(20, 20, 20), 2);
  cv::line(slide, {371, 366}, {371, 374}, cv::Scalar(20, 20, 20), 2);
  cv::Mat picture = slide.clone();
  picture.setTo(cv::Scalar(0, 200, 0), hole);  // whatever stood there
  fillFromSurround(picture, hole);

  cv::Mat diff;
  cv::absdiff(picture, slide, diff);
  cv::cvtColor(diff, diff, cv::COLOR_BGR2GRAY);
  EXPECT_EQ(cv::countNonZero(diff & ~hole), 0) << "seen pixels are kept";
  // The bars continue straight across, not in one colour over all of the hole.
  const cv::Rect bar(250, 205, 120, 30), title(250, 2, 120, 12);
  EXPECT_LT(cv::mean(diff(bar))[0], 10.0);
  EXPECT_LT(cv::mean(diff(title))[0], 10.0);
  // Elsewhere the hole takes the slide's background near it, not his colour.
  EXPECT_LT(cv::mean(diff(cv::Rect(250, 300, 120, 60)))[0], 30.0);
  EXPECT_LT(cv::mean(diff(cv::Rect(250, 366, 120, 9)))[0], 30.0);
}
