#pragma once
// What the slide tests do to a drawn screen to make it look filmed: a speaker in front, a shake,
// a gain and sensor noise, a camera's colour cast, and a table of new text; how far two
// pictures lie apart; and what the change decision makes of such frames.

#include <vector>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "slides/robust_change.h"

namespace slidetrack {

// The rectified screen the slide tests film.
const cv::Size kScreen(640, 480);

// A person in front of the screen: head, torso down to the bottom edge and, when given, an arm
// reaching to the point; 255 on him.
inline cv::Mat drawSpeaker(cv::Mat& screen, int x, const cv::Point* hand = nullptr,
                           cv::Scalar clothing = cv::Scalar(60, 45, 40)) {
  cv::Mat shape = cv::Mat::zeros(screen.size(), CV_8UC1);
  cv::circle(shape, {x, 250}, 28, 255, cv::FILLED);
  cv::rectangle(shape, cv::Rect(x - 55, 285, 110, 200), 255, cv::FILLED);
  if (hand) cv::line(shape, {x + 40, 300}, *hand, 255, 16);
  screen.setTo(clothing, shape);
  cv::circle(screen, {x, 250}, 28, cv::Scalar(120, 150, 190), cv::FILLED);  // a face
  return shape;
}

// screen moved by (dx, dy) pixels, its light times gain, with sensor noise of 3 grey levels.
inline cv::Mat shakenWithNoise(const cv::Mat& screen, double dx, double dy, double gain = 1.0) {
  cv::Mat out, noise(screen.size(), CV_16SC3);
  cv::warpAffine(screen, out, cv::Matx23d(1, 0, dx, 0, 1, dy), screen.size(), cv::INTER_LINEAR,
                 cv::BORDER_REPLICATE);
  if (gain != 1.0) out.convertTo(out, CV_8UC3, gain);
  cv::randn(noise, 0, 3);
  cv::add(out, noise, out, cv::noArray(), CV_8UC3);
  return out;
}

// Frame t of a still camera: a half-pixel shake every other frame, down or across, and sensor
// noise.
inline cv::Mat filmed(const cv::Mat& screen, int t, bool across = false) {
  return across ? shakenWithNoise(screen, 0.3 * (t % 2), 0)
                : shakenWithNoise(screen, 0, 0.3 * (t % 2));
}

// A camera's cast: dimmer and warmer than the slide.
inline void castCameraColours(cv::Mat& bgr) {
  std::vector<cv::Mat> channels;
  cv::split(bgr, channels);
  channels[0].convertTo(channels[0], -1, 0.75, 5);
  channels[1].convertTo(channels[1], -1, 0.8, 10);
  channels[2].convertTo(channels[2], -1, 0.85, 20);
  cv::merge(channels, bgr);
}

// Four rows of a table from y = top on, text over a rule each running from x = left to right.
inline cv::Mat withTable(const cv::Mat& s, int top, int left, int right) {
  cv::Mat out = s.clone();
  for (int k = 0; k < 4; ++k) {
    const int y = top + 45 * k;
    cv::line(out, {left, y + 8}, {right, y + 8}, cv::Scalar(30, 30, 30), 3);
    cv::putText(out, "a line of new text runs behind him", {10, y}, cv::FONT_HERSHEY_SIMPLEX, 1.0,
                cv::Scalar(30, 30, 30), 2, cv::LINE_AA);
  }
  return out;
}

// Mean grey difference of a and b over mask.
inline double meanDifference(const cv::Mat& a, const cv::Mat& b, const cv::Mat& mask) {
  cv::Mat diff;
  cv::absdiff(a, b, diff);
  cv::cvtColor(diff, diff, cv::COLOR_BGR2GRAY);
  return cv::mean(diff, mask)[0];
}

// What the change decision made of frameAt(0) to frameAt(count - 1): where each change it
// found began, and its picture at the end. The sensor noise starts afresh.
struct Filmed {
  std::vector<int> changes;
  cv::Mat picture;
};
template <typename FrameAt>
Filmed filmedRun(const ChangeDetectorOptions& options, int count, FrameAt frameAt) {
  cv::theRNG().state = 0xffffffffu;
  RobustChangeDetector detector(options);
  Filmed run;
  for (int t = 0; t < count; ++t) {
    const RobustChangeDetector::Decision d = detector.process(frameAt(t));
    if (d.changed) run.changes.push_back(t - d.framesBack);
  }
  run.picture = detector.slidePicture().clone();
  return run;
}

// The changes found in count frames showing before until changeAt and after from then on, with
// draw(screen, t) adding the speaker and whatever else passes.
template <typename Draw>
std::vector<int> changesAcross(const ChangeDetectorOptions& options, int count, int changeAt,
                               const cv::Mat& before, const cv::Mat& after, Draw draw,
                               bool across = false) {
  return filmedRun(options, count,
                   [&](int t) {
                     cv::Mat screen = (t < changeAt ? before : after).clone();
                     draw(screen, t);
                     return filmed(screen, t, across);
                   })
      .changes;
}

}  // namespace slidetrack
