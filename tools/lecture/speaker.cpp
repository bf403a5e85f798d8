// The speaker's plan, poses and silhouette.

#include "speaker.h"

#include <algorithm>
#include <cmath>
#include <random>

#include <opencv2/imgproc.hpp>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kShift = 4;  // sub-pixel bits of the drawing calls
constexpr float kOne = 1 << kShift;

// Poses are kept to 0.01, the precision the ground truth stores, so a re-drawn mask is
// the drawn one bit for bit.
float hundredths(double v) { return float(std::round(v * 100) / 100); }

cv::Point fixedPoint(float x, float y) { return cv::Point(cvRound(x * kOne), cvRound(y * kOne)); }

struct Clothes {
  cv::Scalar shirt, trousers, skin;
};

Clothes clothesFor(unsigned seed) {
  // From white shirts to dark suits: a speaker is not always darker than the slide.
  static const cv::Scalar kShirts[] = {{235, 235, 238}, {205, 215, 225}, {150, 90, 40},
                                       {40, 40, 170},   {42, 42, 48},    {150, 180, 200},
                                       {90, 150, 90},   {200, 200, 120}};
  static const cv::Scalar kTrousers[] = {
      {40, 40, 50}, {110, 70, 40}, {120, 160, 180}, {125, 125, 125}, {30, 30, 30}};
  static const cv::Scalar kSkin[] = {{120, 150, 205}, {90, 115, 160}, {60, 80, 110}};
  std::mt19937 rng(seed * 2654435761u + 17u);
  return {kShirts[rng() % 8], kTrousers[rng() % 5], kSkin[rng() % 3]};
}

// Every part of the silhouette, in the given colours.
void drawParts(cv::Mat& image, const SpeakerPose& p, const Clothes& c) {
  if (!p.present || p.height <= 0) return;
  const float h = p.height, x = p.x;
  const float headR = 0.062f * h;
  const float shoulderY = p.footY - h + 0.16f * h, hipY = p.footY - 0.47f * h;
  const int limb = std::max(1, cvRound(0.06f * h));
  const int leg = std::max(1, cvRound(0.085f * h));
  // Legs first: the torso covers their tops.
  for (int side : {-1, 1}) {
    const float footX = x + side * (0.05f * h + p.stride * h / 2);
    cv::line(image, fixedPoint(x + side * 0.05f * h, hipY), fixedPoint(footX, p.footY - 0.02f * h),
             c.trousers, leg, cv::LINE_8, kShift);
  }
  const cv::Point torso[6] = {fixedPoint(x - 0.06f * h, shoulderY - 0.025f * h),
                              fixedPoint(x + 0.06f * h, shoulderY - 0.025f * h),
                              fixedPoint(x + 0.13f * h, shoulderY + 0.03f * h),
                              fixedPoint(x + 0.105f * h, hipY),
                              fixedPoint(x - 0.105f * h, hipY),
                              fixedPoint(x - 0.13f * h, shoulderY + 0.03f * h)};
  cv::fillConvexPoly(image, torso, 6, c.shirt, cv::LINE_8, kShift);
  cv::line(image, fixedPoint(x, shoulderY - 0.06f * h), fixedPoint(x, shoulderY), c.skin,
           std::max(1, cvRound(0.05f * h)), cv::LINE_8, kShift);
  cv::circle(image, fixedPoint(x, p.footY - h + headR), cvRound(headR * kOne), c.skin, cv::FILLED,
             cv::LINE_8, kShift);
  const bool pointing = p.arm < 360;
  const int pointingSide = pointing && std::cos(p.arm * kPi / 180) < 0 ? -1 : 1;
  for (int side : {-1, 1}) {
    const cv::Point2f shoulder(x + side * 0.11f * h, shoulderY + 0.04f * h);
    cv::Point2f hand = shoulder + cv::Point2f(side * 0.035f * h, 0.33f * h);
    if (pointing && side == pointingSide) {
      const double a = p.arm * kPi / 180;
      hand = shoulder + cv::Point2f(float(std::cos(a)), -float(std::sin(a))) * (0.42f * h);
    }
    cv::line(image, fixedPoint(shoulder.x, shoulder.y), fixedPoint(hand.x, hand.y), c.shirt, limb,
             cv::LINE_8, kShift);
    cv::circle(image, fixedPoint(hand.x, hand.y), cvRound(0.03f * h * kOne), c.skin, cv::FILLED,
               cv::LINE_8, kShift);
  }
}

}  // namespace

SpeakerPlan makeSpeakerPlan(const cv::Rect2f& screen, double seconds, double fps, unsigned seed) {
  SpeakerPlan plan;
  plan.screen = screen;
  plan.fps = fps;
  std::mt19937 rng(seed * 747796405u + 2891336453u);
  auto uniform = [&](double a, double b) { return std::uniform_real_distribution<>(a, b)(rng); };
  const float w = screen.width;
  const float offLeft = screen.x - 0.45f * w, offRight = screen.x + 1.45f * w;
  double t = 0;
  float x = rng() % 2 ? offLeft : offRight;
  plan.stops.push_back({0, uniform(0.5, 3), x, 1.0f, false, true});
  t = plan.stops.back().end;
  while (t < seconds) {
    SpeakerPlan::Stop stop;
    stop.away = uniform(0, 1) < 0.12;
    stop.x = stop.away ? (x < screen.x + w / 2 ? offRight : offLeft)
                       : float(screen.x + w * uniform(-0.15, 1.05));
    stop.scale = float(uniform(0.85, 1.2));
    stop.pointing = !stop.away && uniform(0, 1) < 0.65;
    // About a third of the screen's width a second: a calm walk.
    const double walk = std::fabs(stop.x - x) / (0.3 * w) + 0.4;
    stop.start = t + walk;
    stop.end = stop.start + (stop.away ? uniform(4, 12) : uniform(8, 35));
    plan.stops.push_back(stop);
    t = stop.end;
    x = stop.x;
  }
  return plan;
}

SpeakerPose speakerPoseAt(const SpeakerPlan& plan, int frame) {
  const double t = frame / plan.fps;
  const std::vector<SpeakerPlan::Stop>& stops = plan.stops;
  size_t i = 0;
  while (i + 1 < stops.size() && stops[i + 1].start <= t) ++i;
  const SpeakerPlan::Stop& s = stops[i];
  double x = s.x, scale = s.scale, stride = 0.07;
  double arm = 999;
  bool away = s.away;
  if (t >= s.end && i + 1 < stops.size()) {  // walking to the next stop
    const SpeakerPlan::Stop& n = stops[i + 1];
    const double u = std::clamp((t - s.end) / std::max(1e-6, n.start - s.end), 0.0, 1.0);
    x = s.x + (n.x - s.x) * u;
    scale = s.scale + (n.scale - s.scale) * u;
    stride = 0.17 * std::fabs(std::sin(kPi * 1.8 * t));
    away = false;
  } else if (s.pointing) {
    // The arm goes up now and then, moving along the slide while it is up.
    const double phase = (i * 1.7) + t;
    if (std::sin(2 * kPi * phase / 9.0) > -0.3) {
      const double up = 25 + 20 * std::sin(2 * kPi * phase / 3.7);
      arm = x < plan.screen.x + plan.screen.width / 2 ? up : 180 - up;
    }
  }
  SpeakerPose p;
  const float h = plan.screen.height;
  p.height = hundredths(scale * h * 1.05);
  p.x = hundredths(x);
  p.footY = hundredths(plan.screen.y + h + 0.28 * p.height);
  p.stride = hundredths(stride);
  p.arm = arm < 360 ? hundredths(arm) : 999;
  // Out of the picture: further out than the widest silhouette reaches.
  p.present =
      !away || std::fabs(x - (plan.screen.x + plan.screen.width / 2)) < 0.9 * plan.screen.width;
  return p;
}

SpeakerPose movedPose(SpeakerPose pose, cv::Point2f by) {
  pose.x = hundredths(double(pose.x) + by.x);
  pose.footY = hundredths(double(pose.footY) + by.y);
  return pose;
}

void drawSpeaker(cv::Mat& image, const SpeakerPose& pose, unsigned seed) {
  drawParts(image, pose, clothesFor(seed));
}

cv::Mat speakerMask(const SpeakerPose& pose, cv::Size size) {
  cv::Mat mask(size, CV_8UC1, cv::Scalar(0));
  const cv::Scalar on(255);
  drawParts(mask, pose, {on, on, on});
  return mask;
}
