// Corners of a candidate screen: the edges of a projected image meet there, while the edge
// of a block inside the slide stops short of a side that runs on past it.

#include <gtest/gtest.h>

#include "screen/screen_sides.h"

using namespace slidetrack;

namespace {

// The line through p along direction, bright on the normal's side, backed from t0 to t1.
ScreenLine line(cv::Point2f p, cv::Point2f normal, float t0, float t1) {
  ScreenLine l;
  l.normal = normal;
  l.direction = cv::Point2f(normal.y, -normal.x);
  l.offset = normal.dot(p);
  l.covered = {cv::Vec2f(t0, t1)};
  l.length = t1 - t0;
  return l;
}

TEST(ScreenSides, ASideRunningPastACornerTheOtherDoesNotReachIsAJunction) {
  const cv::Point2f bottomLeft(100, 400), corner(100, 100), topRight(500, 100);
  // The left side (along = -y) backed from y = 400 up to y = 20, past the corner.
  const ScreenLine runsOn = line(corner, {1, 0}, -400, -20);
  const ScreenLine endsThere = line(corner, {1, 0}, -400, -100);
  // A block's header inside the slide, from x = 140 to 460; the slide's own top reaches.
  const ScreenLine header = line(corner, {0, 1}, 140, 460);
  const ScreenLine top = line(corner, {0, 1}, 100, 500);
  EXPECT_TRUE(screenCornerIsJunction(runsOn, bottomLeft, header, topRight, corner));
  // A desk or a door edge in line with a true side runs on past a corner both sides reach.
  EXPECT_FALSE(screenCornerIsJunction(runsOn, bottomLeft, top, topRight, corner));
  EXPECT_FALSE(screenCornerIsJunction(endsThere, bottomLeft, top, topRight, corner));
  // A top cut short by a speaker in front of the corner, and a side that ends there.
  EXPECT_FALSE(screenCornerIsJunction(endsThere, bottomLeft, header, topRight, corner));
  // The same from the top's side: the top runs on past a left side that stops short.
  const ScreenLine shortLeft = line(corner, {1, 0}, -400, -150);
  const ScreenLine longTop = line(corner, {0, 1}, 20, 500);
  EXPECT_TRUE(screenCornerIsJunction(shortLeft, bottomLeft, longTop, topRight, corner));
}

}  // namespace
