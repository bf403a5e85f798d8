// Pen strokes and the mouse pointer.

#include "overlays.h"

#include <cmath>
#include <random>

#include <opencv2/imgproc.hpp>

#include "camera_motion.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

// The strokes of one showing in slide shares (0..1): an underline, a circle, a tick.
std::vector<std::vector<cv::Point2f>> strokesFor(unsigned seed, int showing) {
  std::mt19937 rng(mixBits(seed, 700u + unsigned(showing)));
  auto u = [&](double a, double b) { return float(std::uniform_real_distribution<>(a, b)(rng)); };
  std::vector<std::vector<cv::Point2f>> strokes(3);
  const float y = u(0.35, 0.8), x0 = u(0.1, 0.4), len = u(0.2, 0.4), wave = u(0.002, 0.006);
  for (int i = 0; i <= 30; ++i)
    strokes[0].emplace_back(x0 + len * i / 30, y + wave * float(std::sin(i * 0.9)));
  const cv::Point2f c(u(0.25, 0.75), u(0.3, 0.75));
  const float rx = u(0.06, 0.14), ry = u(0.04, 0.08);
  for (int i = 0; i <= 40; ++i) {
    const double a = 2 * kPi * 1.08 * i / 40;
    strokes[1].emplace_back(c.x + rx * float(std::cos(a)), c.y + ry * float(std::sin(a)));
  }
  const cv::Point2f t(u(0.6, 0.9), u(0.25, 0.85));
  for (int i = 0; i <= 8; ++i) strokes[2].emplace_back(t.x + 0.004f * i, t.y + 0.005f * i);
  for (int i = 1; i <= 16; ++i)
    strokes[2].emplace_back(t.x + 0.032f + 0.004f * i, t.y + 0.04f - 0.007f * i);
  return strokes;
}

}  // namespace

bool showingHasInk(const LectureScene& scene, int showing) {
  return scene.ink && (showing == 1 || mixBits(scene.seed, 600u + unsigned(showing)) % 3 == 0);
}

void drawInk(cv::Mat& image, const LectureScene& scene, int frame) {
  int in = 0;
  const int showing = scene.showingAt(frame, &in);
  if (showing < 0 || !showingHasInk(scene, showing)) return;
  const int length = scene.schedule[size_t(showing)].frames;
  // Written between 15 % and 75 % of the showing, point by point.
  const double progress = std::clamp((in - 0.15 * length) / (0.6 * length), 0.0, 1.0);
  const auto strokes = strokesFor(scene.seed, showing);
  size_t total = 0;
  for (const auto& s : strokes) total += s.size();
  size_t left = size_t(progress * double(total));
  const cv::Matx33d map = slideToFrame(scene);
  const cv::Scalar colour = showing % 2 ? cv::Scalar(30, 30, 210) : cv::Scalar(200, 80, 20);
  const double scale = cv::norm(map * cv::Vec3d(1, 0, 0) - map * cv::Vec3d(0, 0, 0));
  const int thickness = std::max(2, cvRound(3 * scene.slideSize.width / 1024.0));
  for (const auto& s : strokes) {
    std::vector<cv::Point2f> slide, frameSide;
    for (size_t i = 0; i < s.size() && left > 0; ++i, --left)
      slide.emplace_back(s[i].x * scene.slideSize.width, s[i].y * scene.slideSize.height);
    if (slide.size() < 2) break;
    cv::perspectiveTransform(slide, frameSide, cv::Mat(map));
    std::vector<cv::Point> line;
    for (const cv::Point2f& p : frameSide) line.emplace_back(cvRound(p.x * 16), cvRound(p.y * 16));
    const int frameThickness = std::max(2, cvRound(thickness * scale));
    cv::polylines(image, line, false, colour, frameThickness, cv::LINE_AA, 4);
  }
}

void drawPointer(cv::Mat& image, const LectureScene& scene, int frame) {
  // Rests at a place for a while, then glides to the next one in about half a second.
  const double t = frame / scene.fps;
  const long k = long(t / 2.5);
  const double u = std::clamp((t - k * 2.5) / 0.5, 0.0, 1.0);
  auto place = [&](long i) {
    const unsigned h = mixBits(scene.seed, 900u + unsigned(i));
    return cv::Point2f(float(h % 1000) / 1000.f * image.cols * 0.8f + image.cols * 0.1f,
                       float((h >> 10) % 1000) / 1000.f * image.rows * 0.8f + image.rows * 0.1f);
  };
  const float ease = float((1 - std::cos(kPi * u)) / 2);
  const cv::Point2f at = place(k) * (1 - ease) + place(k + 1) * ease;
  const float s = image.rows / 720.f;
  const cv::Point2f shape[7] = {{0, 0}, {0, 17}, {4, 13}, {7, 20}, {10, 19}, {7, 12}, {12, 12}};
  cv::Point arrow[7];
  for (int i = 0; i < 7; ++i)
    arrow[i] = cv::Point(cvRound(at.x + shape[i].x * s), cvRound(at.y + shape[i].y * s));
  const cv::Point* polygons[1] = {arrow};
  const int counts[1] = {7};
  cv::fillPoly(image, polygons, counts, 1, cv::Scalar(10, 10, 10), cv::LINE_AA);
  cv::polylines(image, polygons, counts, 1, true, cv::Scalar(250, 250, 250), 1, cv::LINE_AA);
}
