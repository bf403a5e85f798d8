#pragma once
// Straight edges of a grey picture with the side they are bright on: the sides a projected
// screen can have.

#include <vector>

#include <opencv2/core.hpp>

namespace slidetrack {

// The points p with normal . p = offset. The picture is brighter on the side the normal
// points to; covered holds the merged stretches along direction (t = direction . p) that
// edge segments back.
struct ScreenLine {
  cv::Point2f normal;
  cv::Point2f direction;  // the normal turned by -90 degrees
  float offset = 0.f;
  std::vector<cv::Vec2f> covered;  // disjoint, ascending [t0, t1]
  float length = 0.f;              // sum of the covered stretches

  float along(cv::Point2f p) const { return direction.dot(p); }
  // Share of [t0, t1] (any order) that edge segments back.
  float coverage(float t0, float t1) const;
};

// Segments of at least minLength pixels, merged into lines when they lie on one line
// within tolerance pixels and are bright on the same side; longest lines first.
std::vector<ScreenLine> screenLinesFind(const cv::Mat& grey, float minLength, float tolerance);

// Crossing of two lines; false when they are (nearly) parallel.
bool screenLinesCross(const ScreenLine& a, const ScreenLine& b, cv::Point2f* point);

}  // namespace slidetrack
