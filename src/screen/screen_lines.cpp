#include "screen/screen_lines.h"

#include <algorithm>
#include <cmath>

#include <opencv2/imgproc.hpp>

namespace slidetrack {

namespace {

struct Segment {
  cv::Point2f a, b;
  float length;
};

// Mean grey of the picture at p, clamped to the picture.
float greyAt(const cv::Mat& grey, cv::Point2f p) {
  const int x = std::clamp(cvRound(p.x), 0, grey.cols - 1);
  const int y = std::clamp(cvRound(p.y), 0, grey.rows - 1);
  return grey.at<uchar>(y, x);
}

// Fits the line through the segment ends, each weighted by its segment's length.
void fitLine(ScreenLine& line, const std::vector<Segment>& members) {
  double w = 0, mx = 0, my = 0;
  for (const Segment& s : members) {
    w += 2 * s.length;
    mx += s.length * (s.a.x + s.b.x);
    my += s.length * (s.a.y + s.b.y);
  }
  mx /= w, my /= w;
  double sxx = 0, sxy = 0, syy = 0;
  for (const Segment& s : members)
    for (const cv::Point2f& p : {s.a, s.b}) {
      const double dx = p.x - mx, dy = p.y - my;
      sxx += s.length * dx * dx, sxy += s.length * dx * dy, syy += s.length * dy * dy;
    }
  const double angle = 0.5 * std::atan2(2 * sxy, sxx - syy);
  cv::Point2f dir(float(std::cos(angle)), float(std::sin(angle)));
  // Keep the bright side: the new normal must agree with the old one.
  cv::Point2f normal(dir.y, -dir.x);
  if (normal.dot(line.normal) < 0) normal = -normal;
  line.normal = normal;
  line.direction = cv::Point2f(normal.y, -normal.x);
  line.offset = float(normal.x * mx + normal.y * my);
}

void mergeCovered(ScreenLine& line, const std::vector<Segment>& members) {
  std::vector<cv::Vec2f> spans;
  for (const Segment& s : members) {
    const float t0 = line.along(s.a), t1 = line.along(s.b);
    spans.emplace_back(std::min(t0, t1), std::max(t0, t1));
  }
  std::sort(spans.begin(), spans.end(),
            [](const cv::Vec2f& p, const cv::Vec2f& q) { return p[0] < q[0]; });
  line.covered.clear();
  line.length = 0.f;
  for (const cv::Vec2f& s : spans) {
    if (!line.covered.empty() && s[0] <= line.covered.back()[1] + 1.f)
      line.covered.back()[1] = std::max(line.covered.back()[1], s[1]);
    else
      line.covered.push_back(s);
  }
  for (const cv::Vec2f& s : line.covered) line.length += s[1] - s[0];
}

}  // namespace

float ScreenLine::coverage(float t0, float t1) const {
  if (t0 > t1) std::swap(t0, t1);
  if (t1 - t0 < 1e-3f) return 0.f;
  float sum = 0.f;
  for (const cv::Vec2f& s : covered) sum += std::max(0.f, std::min(t1, s[1]) - std::max(t0, s[0]));
  return sum / (t1 - t0);
}

std::vector<ScreenLine> screenLinesFind(const cv::Mat& grey, float minLength, float tolerance) {
  std::vector<cv::Vec4f> raw;
  cv::createLineSegmentDetector(cv::LSD_REFINE_STD)->detect(grey, raw);
  std::vector<Segment> segments;
  for (const cv::Vec4f& r : raw) {
    Segment s{{r[0], r[1]}, {r[2], r[3]}, 0.f};
    s.length = float(cv::norm(s.b - s.a));
    if (s.length >= minLength) segments.push_back(s);
  }
  std::sort(segments.begin(), segments.end(),
            [](const Segment& p, const Segment& q) { return p.length > q.length; });

  std::vector<ScreenLine> lines;
  std::vector<std::vector<Segment>> members;
  const float sameAngle = std::cos(3.f * float(CV_PI) / 180.f);
  for (const Segment& s : segments) {
    const cv::Point2f dir = (s.b - s.a) / s.length;
    cv::Point2f normal(dir.y, -dir.x);
    const cv::Point2f mid = 0.5f * (s.a + s.b);
    // LSD's segment direction does not say which side is bright: look.
    if (greyAt(grey, mid + 2.f * normal) < greyAt(grey, mid - 2.f * normal)) normal = -normal;
    size_t k = 0;
    for (; k < lines.size(); ++k) {
      const ScreenLine& l = lines[k];
      if (l.normal.dot(normal) < sameAngle) continue;
      if (std::fabs(l.normal.dot(s.a) - l.offset) <= tolerance &&
          std::fabs(l.normal.dot(s.b) - l.offset) <= tolerance)
        break;
    }
    if (k == lines.size()) {
      lines.emplace_back();
      lines.back().normal = normal;
      members.emplace_back();
    }
    members[k].push_back(s);
    fitLine(lines[k], members[k]);
  }
  for (size_t k = 0; k < lines.size(); ++k) mergeCovered(lines[k], members[k]);
  std::sort(lines.begin(), lines.end(),
            [](const ScreenLine& p, const ScreenLine& q) { return p.length > q.length; });
  return lines;
}

bool screenLinesCross(const ScreenLine& a, const ScreenLine& b, cv::Point2f* point) {
  const double det = double(a.normal.x) * b.normal.y - double(a.normal.y) * b.normal.x;
  if (std::fabs(det) < 1e-6) return false;
  point->x = float((double(a.offset) * b.normal.y - double(b.offset) * a.normal.y) / det);
  point->y = float((double(a.normal.x) * b.offset - double(b.normal.x) * a.offset) / det);
  return true;
}

}  // namespace slidetrack
