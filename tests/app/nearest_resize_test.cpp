#include "app/nearest_resize.h"

#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

using namespace slidetrack;

// The covered map's enlargement is the library's nearest neighbour pixel for pixel, at
// whole and uneven factors, shrinking too, twice the size in vector steps; kept tables follow a
// change of size.
TEST(NearestResize, GivesTheLibrarysPixels) {
  NearestResize plan;
  const std::pair<cv::Size, cv::Size> cases[] = {
      {{160, 120}, {640, 480}}, {{37, 23}, {640, 480}},   {{640, 480}, {160, 117}},
      {{7, 5}, {13, 11}},       {{160, 120}, {641, 479}}, {{1, 1}, {5, 3}},
      {{320, 240}, {640, 480}}, {{21, 9}, {42, 18}},      {{21, 9}, {41, 18}}};
  for (const auto& [from, to] : cases)
    for (int round = 0; round < 2; ++round) {
      cv::Mat map(from, CV_8UC1), ours, theirs;
      cv::randu(map, 0, 256);
      nearestResize(plan, map, ours, to);
      cv::resize(map, theirs, to, 0, 0, cv::INTER_NEAREST);
      ASSERT_EQ(ours.size(), to);
      EXPECT_EQ(cv::norm(ours, theirs, cv::NORM_INF), 0.0) << from << " to " << to;
    }
}
