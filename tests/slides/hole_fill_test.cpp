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

// Only the part around the holes is enlarged: it must give what enlarging all of it gives,
// next to the picture's edges too, and at sizes that are not twice the half.
TEST(HoleFill, EnlargingAroundTheHolesIsEnlargingAll) {
  cv::RNG rng(3);
  for (int k = 0; k < 30; ++k) {
    const cv::Size half(rng.uniform(4, 90), rng.uniform(4, 70));
    const cv::Size size(2 * half.width + (k % 5 == 0), 2 * half.height);
    cv::Mat colour(half, CV_32FC3), hole = cv::Mat::zeros(size, CV_8UC1), expected, all;
    rng.fill(colour, cv::RNG::UNIFORM, 0.0, 255.0);
    cv::circle(hole, {rng.uniform(0, size.width), rng.uniform(0, size.height)}, rng.uniform(1, 20),
               255, cv::FILLED);
    cv::Mat picture(size, CV_8UC3, cv::Scalar(1, 2, 3));
    picture.copyTo(expected);
    cv::resize(colour, all, size, 0, 0, cv::INTER_LINEAR);
    all.convertTo(all, CV_8UC3);
    all.copyTo(expected, hole);
    takeEnlarged(colour, picture, hole);
    EXPECT_EQ(cv::norm(picture, expected, cv::NORM_INF), 0.0) << size;
  }
}
