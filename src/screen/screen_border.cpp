#include "screen/screen_border.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include <opencv2/imgproc.hpp>

namespace slidetrack {

namespace {

constexpr int kPoints = 40;       // points along a side where the border is measured
constexpr float kMinStep = 24.f;  // grey step from a border to the wall around it
constexpr float kReach = 0.25f;   // farthest border edge sought, a share of the screen's height

float at(const cv::Mat& image, cv::Point2f p) {
  cv::Mat patch;
  cv::getRectSubPix(image, cv::Size(1, 1), p, patch, CV_32F);
  return patch.at<float>(0, 0);
}

// Where, going outward from p, a dark band ends against a brighter surround: the largest
// rise over two pixels that then stays up, as a wall beyond a border does while the
// glyphs of a title bar's text are smaller steps or end soon.
bool outerEdge(const cv::Mat& still, cv::Point2f p, cv::Point2f outward, float reach,
               float* distance) {
  std::vector<float> v;
  for (float d = 0.f; d <= reach + 6.f; d += 0.5f) v.push_back(at(still, p + d * outward));
  float best = kMinStep;
  size_t found = 0;
  for (size_t i = 2; i + 12 < v.size(); ++i) {
    const float rise = std::min(v[i + 4], *std::min_element(&v[i + 4], &v[i + 12])) - v[i];
    if (rise > best) best = rise, found = i;
  }
  if (found == 0) return false;
  // The steepest half-pixel step within the rise is the edge.
  size_t top = found;
  for (size_t j = found; j < found + 4; ++j)
    if (v[j + 1] - v[j] > v[top + 1] - v[top]) top = j;
  *distance = 0.5f * float(top) + 0.25f;
  return true;
}

// Outer border edge points beyond the side from a to b, fitted with a line; false when too
// few points show a border.
bool borderBeyond(const cv::Mat& still, cv::Point2f a, cv::Point2f b, float reach,
                  cv::Vec4f* line) {
  const cv::Point2f along = (b - a) / float(cv::norm(b - a));
  const cv::Point2f outward(along.y, -along.x);  // corners run clockwise on screen
  std::vector<cv::Point2f> edges;
  for (int i = 0; i < kPoints; ++i) {
    const cv::Point2f p = a + (0.08f + 0.84f * float(i) / float(kPoints - 1)) * (b - a);
    float d = 0.f;
    if (outerEdge(still, p, outward, reach, &d)) edges.push_back(p + d * outward);
  }
  if (int(edges.size()) < kPoints / 2) return false;
  // Huber weights: a glyph's edge taken for the border's does not pull the line.
  cv::fitLine(edges, *line, cv::DIST_HUBER, 0, 0.01, 0.01);
  return true;
}

bool crossing(cv::Point2f p, cv::Point2f dp, cv::Point2f q, cv::Point2f dq, cv::Point2f* out) {
  const float det = dp.x * dq.y - dp.y * dq.x;
  if (std::fabs(det) < 1e-6f) return false;
  const cv::Point2f w = q - p;
  *out = p + ((w.x * dq.y - w.y * dq.x) / det) * dp;
  return true;
}

// Where a border line meets the screen's left and right sides.
bool onSides(const cv::Vec4f& line, const std::array<cv::Point2f, 4>& c, cv::Point2f* left,
             cv::Point2f* right) {
  const cv::Point2f origin(line[2], line[3]), dir(line[0], line[1]);
  return crossing(origin, dir, c[3], c[0] - c[3], left) &&
         crossing(origin, dir, c[2], c[1] - c[2], right);
}

}  // namespace

bool screenTopFromBorder(const cv::Mat& still, std::array<cv::Point2f, 4>& corners) {
  const cv::Point2f tl = corners[0], tr = corners[1], br = corners[2], bl = corners[3];
  const float height = 0.5f * float(cv::norm(bl - tl) + cv::norm(br - tr));
  const float reach = kReach * height;
  cv::Vec4f bottomLine, topLine;
  cv::Point2f bottomLeft, bottomRight, topLeft, topRight;
  if (!borderBeyond(still, br, bl, reach, &bottomLine) ||
      !borderBeyond(still, tl, tr, reach, &topLine) ||
      !onSides(bottomLine, corners, &bottomLeft, &bottomRight) ||
      !onSides(topLine, corners, &topLeft, &topRight))
    return false;
  // One border width looks as much thinner at the top as the top looks shorter; in a side
  // view it differs from end to end, so each end of the top takes the width below it.
  const float ratio = float(cv::norm(tr - tl) / cv::norm(br - bl));
  const float expected[2] = {ratio * float(cv::norm(bottomLeft - bl)),
                             ratio * float(cv::norm(bottomRight - br))};
  const cv::Point2f outer[2] = {topLeft, topRight}, below[2] = {bl, br};
  std::array<cv::Point2f, 4> moved = corners;
  for (int k = 0; k < 2; ++k) {
    const cv::Point2f side = corners[size_t(k)] - outer[k];
    const float width = float(cv::norm(side));
    // The outer edge lies beyond the top, much farther than the border is wide.
    if ((below[k] - corners[size_t(k)]).dot(side) < 0.f || width > reach ||
        width < 1.5f * expected[k] + 3.f)
      return false;
    moved[size_t(k)] = outer[k] + (expected[k] / width) * side;
  }
  corners = moved;
  return true;
}

}  // namespace slidetrack
