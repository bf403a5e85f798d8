#include "screen/corner_refiner.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include <opencv2/imgproc.hpp>

namespace slidetrack {

namespace {

constexpr int kPoints = 48;      // edge points sought along each side
constexpr float kMinStep = 4.f;  // grey step per pixel that still counts as an edge

float at(const cv::Mat& image, cv::Point2f p) {
  cv::Mat patch;
  cv::getRectSubPix(image, cv::Size(1, 1), p, patch, CV_32F);
  return patch.at<float>(0, 0);
}

// The strongest dark-to-bright step along the normal through p, interpolated between the
// samples; false when there is none.
bool edgeAcross(const cv::Mat& still, cv::Point2f p, cv::Point2f inward, float reach,
                cv::Point2f* edge) {
  const int n = int(std::ceil(2 * reach));
  std::vector<float> v(size_t(2 * n + 2));
  for (int i = 0; i < int(v.size()); ++i)
    v[size_t(i)] = at(still, p + (0.5f * float(i - n) - 0.25f) * inward);
  // g[i]: step per pixel between the samples i and i + 1, at offset (i - n) / 2.
  std::vector<float> g(v.size() - 1);
  for (size_t i = 0; i + 1 < v.size(); ++i) g[i] = 2.f * (v[i + 1] - v[i]);
  const size_t top = size_t(std::max_element(g.begin(), g.end()) - g.begin());
  if (g[top] < kMinStep || top == 0 || top + 1 == g.size()) return false;
  const float l = g[top - 1], c = g[top], r = g[top + 1];
  const float denom = l - 2 * c + r;
  const float shift = denom < 0 ? 0.5f * (l - r) / denom : 0.f;
  *edge = p + 0.5f * (float(int(top) - n) + shift) * inward;
  return true;
}

// Where point i of kPoints lies along a side, as a share of the way: spread evenly over
// the stretches that show, kept clear of their ends where what hides the rest begins.
float placeOf(int i, const std::vector<cv::Vec2f>& shown) {
  if (shown.empty()) return 0.06f + 0.88f * float(i) / float(kPoints - 1);
  constexpr float kClear = 0.02f;
  float total = 0.f;
  for (const cv::Vec2f& s : shown) total += std::max(0.f, s[1] - s[0] - 2 * kClear);
  float rest = total * (float(i) + 0.5f) / float(kPoints);
  for (const cv::Vec2f& s : shown) {
    const float length = std::max(0.f, s[1] - s[0] - 2 * kClear);
    if (rest <= length) return s[0] + kClear + rest;
    rest -= length;
  }
  return shown.back()[1] - kClear;
}

bool fitSide(const cv::Mat& still, cv::Point2f a, cv::Point2f b, cv::Point2f inward, float reach,
             const std::vector<cv::Vec2f>& shown, cv::Vec4f* line) {
  std::vector<cv::Point2f> points;
  for (int i = 0; i < kPoints; ++i) {
    const cv::Point2f p = a + placeOf(i, shown) * (b - a);
    cv::Point2f edge;
    if (edgeAcross(still, p, inward, reach, &edge)) points.push_back(edge);
  }
  if (int(points.size()) < kPoints / 3) return false;
  // Huber weights: a speaker's edge or a corner of the slide does not pull the side.
  cv::fitLine(points, *line, cv::DIST_HUBER, 0, 0.01, 0.01);
  return true;
}

bool crossing(const cv::Vec4f& p, const cv::Vec4f& q, cv::Point2f* at) {
  const double det = double(p[0]) * q[1] - double(p[1]) * q[0];
  if (std::fabs(det) < 1e-9) return false;
  const double dx = q[2] - p[2], dy = q[3] - p[3];
  const double s = (dx * q[1] - dy * q[0]) / det;
  *at = cv::Point2f(float(p[2] + s * p[0]), float(p[3] + s * p[1]));
  return true;
}

}  // namespace

bool refineScreenCorners(const cv::Mat& still, std::array<cv::Point2f, 4>& corners,
                         const std::array<cv::Point2f, 4>& inward, float reach,
                         const std::array<std::vector<cv::Vec2f>, 4>& shown) {
  cv::Mat smooth;
  cv::GaussianBlur(still, smooth, cv::Size(0, 0), 0.8);
  cv::Vec4f lines[4];
  for (int k = 0; k < 4; ++k)
    if (!fitSide(smooth, corners[size_t(k)], corners[size_t((k + 1) % 4)], inward[size_t(k)], reach,
                 shown[size_t(k)], &lines[k]))
      return false;
  std::array<cv::Point2f, 4> refined;
  for (int k = 0; k < 4; ++k) {
    // Corner k joins side k - 1 (ending there) and side k (starting there).
    if (!crossing(lines[(k + 3) % 4], lines[k], &refined[size_t(k)])) return false;
    if (cv::norm(refined[size_t(k)] - corners[size_t(k)]) > 1.5 * reach) return false;
  }
  corners = refined;
  return true;
}

}  // namespace slidetrack
