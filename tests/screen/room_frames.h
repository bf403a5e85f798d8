#pragma once
// Grey sample frames of rooms for the screen search: a projected slide inside a dark border
// inside a light surround, with a desk edge and a door frame longer than the screen's sides,
// uneven light and noise; or rooms with no projection at all.

#include <array>
#include <vector>

#include <opencv2/imgproc.hpp>

#include "lecture_scene.h"

enum class Room { Hall, Blackboard, Street };

struct RoomView {
  cv::Size frame{1280, 720};
  std::array<cv::Point2f, 4> slide;  // the projected image's corners: TL, TR, BR, BL
  Room room = Room::Hall;
  double noise = 4;
  unsigned seed = 1;
  float shake = 0;         // largest shift of a sample in pixels, as a hand-held or swaying camera
  bool darkTitle = false;  // slides topped by a bar as dark as the border, then a title bar
  int standFor = 0;        // samples in which a tall speaker stands in front of the left side
  int armUp =
      -1;  // the first sample in which the speaker's arm and a pointer reach above the screen
  int armFor = 1;           // samples from armUp on with the arm raised
  float standTop = 0.55f;   // the standing speaker's head, a share of the screen's height down
  double speakerGrey = 40;  // the speaker's clothes
  float exposure = 0;       // the camera's exposure wanders by this share between samples
};

// Slide-relative rectangle (shares of the slide) in the frame.
inline std::vector<cv::Point> slideQuad(const RoomView& v, float x0, float y0, float x1, float y1) {
  const cv::Point2f unit[4] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
  const cv::Matx33d h(cv::getPerspectiveTransform(unit, v.slide.data()));
  std::vector<cv::Point2f> in = {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}}, out;
  cv::perspectiveTransform(in, out, cv::Mat(h));
  std::vector<cv::Point> fixed;
  for (const cv::Point2f& p : out) fixed.emplace_back(cvRound(p.x * 16), cvRound(p.y * 16));
  return fixed;
}

inline void fillQuad(cv::Mat& image, const std::vector<cv::Point>& q, double grey) {
  cv::fillConvexPoly(image, q.data(), 4, cv::Scalar(grey), cv::LINE_AA, 4);
}

inline cv::Mat drawRoom(const RoomView& v) {
  const int w = v.frame.width, h = v.frame.height;
  cv::Mat room(v.frame, CV_8UC1);
  for (int y = 0; y < h; ++y) room.row(y).setTo(180 - 35.0 * y / h);
  cv::Rect2f box = cv::boundingRect(v.slide);
  if (v.room == Room::Street) {
    cv::RNG rng(v.seed);
    for (int x = 0; x < w; x += w / 7) {
      const int top = h / 10 + rng.uniform(0, h / 4), g = rng.uniform(90, 200);
      cv::rectangle(room, cv::Rect(x, top, w / 8, h * 3 / 4 - top), cv::Scalar(g), cv::FILLED);
      for (int wy = top + 10; wy + 30 < h * 3 / 4; wy += 45)
        cv::rectangle(room, cv::Rect(x + 12, wy, w / 20, 30), cv::Scalar(60), cv::FILLED);
    }
    cv::rectangle(room, cv::Rect(0, h * 3 / 4, w, h), cv::Scalar(90), cv::FILLED);
    return room;
  }
  // A blackboard left of the screen and a door right of it, both taller than it.
  const float bw = box.width, bh = box.height;
  cv::rectangle(
      room,
      cv::Rect(int(box.x - 0.9f * bw), int(box.y - 0.1f * bh), int(0.8f * bw), int(1.0f * bh)),
      cv::Scalar(170), cv::FILLED);
  cv::rectangle(
      room,
      cv::Rect(int(box.x - 0.88f * bw), int(box.y - 0.08f * bh), int(0.76f * bw), int(0.96f * bh)),
      cv::Scalar(55), cv::FILLED);
  cv::rectangle(room,
                cv::Rect(int(box.br().x + 0.1f * bw), int(box.y - 0.15f * bh), int(0.3f * bw), h),
                cv::Scalar(235), cv::FILLED);
  cv::rectangle(room,
                cv::Rect(int(box.br().x + 0.12f * bw), int(box.y - 0.13f * bh), int(0.26f * bw), h),
                cv::Scalar(85), cv::FILLED);
  if (v.room == Room::Hall) {
    fillQuad(room, slideQuad(v, -0.08f, -0.06f, 1.08f, 1.16f), 212);  // surround
    fillQuad(room, slideQuad(v, -0.03f, -0.03f, 1.03f, 1.03f), 30);   // dark border
  }
  // A desk wider than the screen just below it, its light top edge a long straight line.
  const int desk = int(box.br().y + 0.08f * bh);
  if (desk < h) {
    cv::rectangle(room, cv::Rect(int(box.x - 0.3f * bw), desk, int(1.5f * bw), h), cv::Scalar(75),
                  cv::FILLED);
    cv::rectangle(
        room, cv::Rect(int(box.x - 0.3f * bw), desk, int(1.5f * bw), std::max(2, int(0.015f * bh))),
        cv::Scalar(160), cv::FILLED);
  }
  return room;
}

// Sample i: the room with slide i projected (Hall only), light falling off to one side, a
// dark speaker walking in front of the screen's lower part, noise.
inline cv::Mat drawSample(const RoomView& v, const cv::Mat& room, int i) {
  cv::Mat frame = room.clone();
  if (v.room == Room::Hall) {
    cv::Mat slide, grey;
    drawSlide(int(v.seed) * 10 + i, cv::Size(800, 600)).convertTo(slide, -1, 0.86, 14);
    cv::cvtColor(slide, grey, cv::COLOR_BGR2GRAY);
    const cv::Point2f from[4] = {{0, 0}, {800, 0}, {800, 600}, {0, 600}};
    cv::warpPerspective(grey, frame, cv::getPerspectiveTransform(from, v.slide.data()),
                        frame.size(), cv::INTER_LINEAR, cv::BORDER_TRANSPARENT);
    if (v.darkTitle) {
      fillQuad(frame, slideQuad(v, 0, 0, 1, 0.07f), 34);
      for (float x = 0.05f; x < 0.9f; x += 0.22f)
        fillQuad(frame, slideQuad(v, x, 0.02f, x + 0.12f, 0.045f), 150);
      // The navigation bar marks the slide shown.
      const float mark = 0.06f + 0.14f * float(i % 6);
      fillQuad(frame, slideQuad(v, mark, 0.01f, mark + 0.06f, 0.04f), 200);
      fillQuad(frame, slideQuad(v, 0, 0.07f, 1, 0.16f), 70);
      fillQuad(frame, slideQuad(v, 0.05f, 0.09f, 0.3f + 0.06f * float(i % 6), 0.14f), 220);
    }
  }
  const cv::Rect2f box = cv::boundingRect(v.slide);
  const bool standing = i < v.standFor;
  const int x = standing ? int(0.5f * (v.slide[0].x + v.slide[3].x))
                         : int(box.x + box.width * (0.1f + 0.08f * float((i * 7) % 10)));
  const int r = std::max(6, int(box.width * 0.05f));
  const int head = int(box.y + box.height * (standing ? v.standTop : 0.65f));
  cv::circle(frame, {x, head}, r, cv::Scalar(50), cv::FILLED);
  cv::rectangle(frame, cv::Rect(x - 2 * r, head + r, 4 * r, v.frame.height),
                cv::Scalar(v.speakerGrey), cv::FILLED);
  if (i >= v.armUp && i < v.armUp + v.armFor) {  // a raised arm and a pointer along the top
    const cv::Point hand(x, int(box.y - 0.05f * box.height));
    cv::line(frame, {x, head}, hand, cv::Scalar(45), std::max(3, r / 2));
    cv::line(frame, hand, {int(box.x + 0.3f * box.width), hand.y}, cv::Scalar(45), 3);
  }
  if (v.shake > 0) {
    cv::RNG rng(v.seed * 1000 + unsigned(i));
    const cv::Matx23d shift(1, 0, rng.uniform(-v.shake, v.shake), 0, 1,
                            rng.uniform(-v.shake, v.shake));
    cv::warpAffine(frame.clone(), frame, shift, frame.size(), cv::INTER_LINEAR,
                   cv::BORDER_REPLICATE);
  }
  cv::Mat light(v.frame, CV_32F), out;
  const double exposure = 1.0 + v.exposure * double(i % 3 - 1);
  for (int c = 0; c < v.frame.width; ++c)
    light.col(c).setTo(exposure * (0.75 + 0.25 * c / v.frame.width));
  frame.convertTo(out, CV_32F);
  out = out.mul(light);
  cv::Mat noise(v.frame, CV_32F);
  cv::RNG(v.seed * 100 + unsigned(i)).fill(noise, cv::RNG::NORMAL, 0, v.noise);
  out += noise;
  out.convertTo(frame, CV_8U);
  return frame;
}

inline std::vector<cv::Mat> drawSamples(const RoomView& v, int count = 10) {
  const cv::Mat room = drawRoom(v);
  std::vector<cv::Mat> samples;
  for (int i = 0; i < count; ++i) samples.push_back(drawSample(v, room, i));
  return samples;
}
