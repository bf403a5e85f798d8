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

// Outer border edge points beyond the side from a to b; the median distance to the side.
bool borderBeyond(const cv::Mat& still, cv::Point2f a, cv::Point2f b, float reach,
                  std::vector<cv::Point2f>* edges, float* width) {
  const cv::Point2f along = (b - a) / float(cv::norm(b - a));
  const cv::Point2f outward(along.y, -along.x);  // corners run clockwise on screen
  std::vector<float> widths;
  for (int i = 0; i < kPoints; ++i) {
    const cv::Point2f p = a + (0.08f + 0.84f * float(i) / float(kPoints - 1)) * (b - a);
    float d = 0.f;
    if (!outerEdge(still, p, outward, reach, &d)) continue;
    widths.push_back(d);
    if (edges) edges->push_back(p + d * outward);
  }
  if (int(widths.size()) < kPoints / 2) return false;
  std::nth_element(widths.begin(), widths.begin() + long(widths.size() / 2), widths.end());
  *width = widths[widths.size() / 2];
  return true;
}

bool crossing(cv::Point2f p, cv::Point2f dp, cv::Point2f q, cv::Point2f dq, cv::Point2f* out) {
  const float det = dp.x * dq.y - dp.y * dq.x;
  if (std::fabs(det) < 1e-6f) return false;
  const cv::Point2f w = q - p;
  *out = p + ((w.x * dq.y - w.y * dq.x) / det) * dp;
  return true;
}

}  // namespace

bool screenTopFromBorder(const cv::Mat& still, std::array<cv::Point2f, 4>& corners) {
  const cv::Point2f tl = corners[0], tr = corners[1], br = corners[2], bl = corners[3];
  const float height = 0.5f * float(cv::norm(bl - tl) + cv::norm(br - tr));
  const float reach = kReach * height;
  float bottom = 0.f, top = 0.f;
  if (!borderBeyond(still, br, bl, reach, nullptr, &bottom)) return false;
  std::vector<cv::Point2f> edges;
  if (!borderBeyond(still, tl, tr, reach, &edges, &top)) return false;
  // One border width looks as much thinner at the top as the top looks shorter.
  const float expected = bottom * float(cv::norm(tr - tl) / cv::norm(br - bl));
  if (top < 1.5f * expected + 3.f) return false;
  cv::Vec4f line;
  cv::fitLine(edges, line, cv::DIST_HUBER, 0, 0.01, 0.01);
  cv::Point2f dir(line[0], line[1]);
  if (dir.dot(tr - tl) < 0) dir = -dir;
  const cv::Point2f inward(-dir.y, dir.x);
  const cv::Point2f origin = cv::Point2f(line[2], line[3]) + expected * inward;
  std::array<cv::Point2f, 4> moved = corners;
  if (!crossing(origin, dir, bl, tl - bl, &moved[0]) ||
      !crossing(origin, dir, br, tr - br, &moved[1]))
    return false;
  // The new top stays above the old one and within the sought band.
  for (int k = 0; k < 2; ++k) {
    const float shift = (corners[size_t(k)] - moved[size_t(k)]).dot(inward);
    if (shift < 0.f || shift > reach) return false;
  }
  corners = moved;
  return true;
}

}  // namespace slidetrack
