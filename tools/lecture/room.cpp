// Room backgrounds: a lecture hall with a screen surround and strong straight edges, a
// blackboard room and a street, each with a few details from the seed.

#include "room.h"

#include <algorithm>
#include <random>

#include <opencv2/imgproc.hpp>

namespace {

constexpr float kBorder = 0.03f;  // dark border width, share of the projected image

// Slide-relative rectangle (shares of the slide size) mapped into the frame.
std::array<cv::Point2f, 4> slideQuad(const LectureScene& s, float x0, float y0, float x1,
                                     float y1) {
  const float w = float(s.slideSize.width), h = float(s.slideSize.height);
  std::vector<cv::Point2f> in = {
      {x0 * w, y0 * h}, {x1 * w, y0 * h}, {x1 * w, y1 * h}, {x0 * w, y1 * h}};
  std::vector<cv::Point2f> out;
  cv::perspectiveTransform(in, out, cv::Mat(slideToFrame(s)));
  return {out[0], out[1], out[2], out[3]};
}

void fillQuad(cv::Mat& image, const std::array<cv::Point2f, 4>& q, cv::Scalar colour) {
  cv::Point p[4];
  for (int i = 0; i < 4; ++i) p[i] = cv::Point(cvRound(q[i].x * 16), cvRound(q[i].y * 16));
  cv::fillConvexPoly(image, p, 4, colour, cv::LINE_AA, 4);
}

cv::Rect2f boundsOf(const std::array<cv::Point2f, 4>& q) {
  float x0 = 1e9f, y0 = 1e9f, x1 = -1e9f, y1 = -1e9f;
  for (const cv::Point2f& c : q) {
    x0 = std::min(x0, c.x), y0 = std::min(y0, c.y);
    x1 = std::max(x1, c.x), y1 = std::max(y1, c.y);
  }
  return {x0, y0, x1 - x0, y1 - y0};
}

void wallAndFloor(cv::Mat& room, cv::Scalar top, cv::Scalar bottom, float floorAt) {
  const int h = room.rows;
  for (int y = 0; y < h; ++y) {
    const double t = double(y) / std::max(1, h - 1);
    room.row(y).setTo(top * (1 - t) + bottom * t);
  }
  const int floorY = int(floorAt * h);
  room.rowRange(floorY, h).setTo(cv::Scalar(70, 82, 95));
  cv::line(room, {0, floorY}, {room.cols, floorY}, cv::Scalar(50, 55, 60), 2);
}

// A framed rectangle: the frame's edges are the long straight lines a screen search meets.
void framed(cv::Mat& room, cv::Rect r, int frame, cv::Scalar frameColour, cv::Scalar inside) {
  cv::rectangle(room, r, frameColour, cv::FILLED);
  cv::rectangle(room, cv::Rect(r.x + frame, r.y + frame, r.width - 2 * frame, r.height - 2 * frame),
                inside, cv::FILLED);
}

void chalkLines(cv::Mat& room, cv::Rect board, std::mt19937& rng) {
  const char* const lines[] = {"f(x) = a x^2 + b", "lim n->oo (1+1/n)^n", "grad E = 0",
                               "O(n log n)",       "p(A|B) p(B)",         "x_k+1 = x_k - h g"};
  const double scale = board.height / 260.0;
  for (int i = 0; i < 5; ++i) {
    const cv::Point at(board.x + int(board.width * (0.05 + 0.1 * (rng() % 3))),
                       board.y + int(board.height * (0.15 + 0.17 * i)));
    cv::putText(room, lines[rng() % 6], at, cv::FONT_HERSHEY_SCRIPT_SIMPLEX, scale,
                cv::Scalar(205, 215, 215), std::max(1, int(2 * scale)), cv::LINE_AA);
  }
}

void drawHall(cv::Mat& room, const LectureScene& s, std::mt19937& rng) {
  wallAndFloor(room, cv::Scalar(178, 184, 190), cv::Scalar(140, 146, 152), 0.9f);
  const std::array<cv::Point2f, 4> surround = slideQuad(s, -0.08f, -0.06f, 1.08f, 1.16f);
  const cv::Rect2f box = boundsOf(surround);
  const float bw = box.width, bh = box.height;
  // A blackboard on the left and a door on the right, both taller than the screen.
  const int frame = std::max(3, int(0.02f * bw));
  framed(room,
         cv::Rect(int(box.x - 0.08f * bw - 0.95f * bw), int(box.y - 0.05f * bh), int(0.95f * bw),
                  int(0.95f * bh)),
         frame, cv::Scalar(175, 175, 170), cv::Scalar(45, 68, 40));
  framed(room,
         cv::Rect(int(box.br().x + 0.12f * bw), int(box.y - 0.12f * bh), int(0.32f * bw),
                  int(room.rows * 0.9f - (box.y - 0.12f * bh))),
         frame, cv::Scalar(232, 232, 232), cv::Scalar(62, 82, 108));
  // The screen case, the surround and the dark border in the screen's plane.
  fillQuad(room, slideQuad(s, -0.11f, -0.11f, 1.11f, -0.06f), cv::Scalar(58, 58, 60));
  fillQuad(room, surround, cv::Scalar(214, 214, 208));
  fillQuad(room, hallBorderCorners(s), cv::Scalar(28, 28, 32));
  // A desk in front, wider than the screen, and a cabinet beside it.
  const int deskTop = int(box.br().y + 0.05f * bh);
  if (deskTop < room.rows) {
    const cv::Rect desk(int(box.x - 0.3f * bw), deskTop, int(1.15f * bw), room.rows - deskTop);
    cv::rectangle(room, desk, cv::Scalar(42, 66, 98), cv::FILLED);
    cv::rectangle(room, cv::Rect(desk.x, desk.y, desk.width, std::max(2, int(0.012f * bh))),
                  cv::Scalar(120, 150, 180), cv::FILLED);
  }
  const int cabinetTop = int(room.rows * (0.62f + 0.1f * float(rng() % 3)));
  framed(room, cv::Rect(int(box.br().x - 0.05f * bw), cabinetTop, int(0.25f * bw), room.rows),
         frame, cv::Scalar(80, 95, 110), cv::Scalar(120, 135, 150));
}

void drawBlackboardRoom(cv::Mat& room, const LectureScene& s, std::mt19937& rng) {
  wallAndFloor(room, cv::Scalar(185, 190, 195), cv::Scalar(150, 155, 160), 0.88f);
  const int w = room.cols, h = room.rows;
  const cv::Rect board(w * 12 / 100, h * 10 / 100, w * 76 / 100, h * 52 / 100);
  framed(room, board, std::max(4, w / 120), cv::Scalar(60, 100, 140), cv::Scalar(42, 62, 38));
  chalkLines(room, board, rng);
  cv::rectangle(room, cv::Rect(board.x, board.br().y, board.width, std::max(3, h / 90)),
                cv::Scalar(100, 120, 140), cv::FILLED);  // chalk tray
  cv::rectangle(room, cv::Rect(w * 20 / 100, h * 72 / 100, w * 45 / 100, h * 28 / 100),
                cv::Scalar(42, 66, 98), cv::FILLED);  // desk
  framed(room, cv::Rect(w * 90 / 100, h * 15 / 100, w * 9 / 100, h * 73 / 100), 4,
         cv::Scalar(230, 230, 230), cv::Scalar(62, 82, 108));  // door
  (void)s;
}

void drawOutdoor(cv::Mat& room, std::mt19937& rng) {
  const int w = room.cols, h = room.rows;
  for (int y = 0; y < h; ++y) {
    const double t = double(y) / h;
    room.row(y).setTo(cv::Scalar(235 - 40 * t, 205 - 20 * t, 165));
  }
  for (int x = -w / 20; x < w;) {
    const int width = w / 8 + int(rng() % unsigned(w / 6));
    const int top = h * (8 + int(rng() % 30)) / 100;
    const int grey = 90 + int(rng() % 110);
    const cv::Rect house(x, top, width, h * 78 / 100 - top);
    cv::rectangle(room, house, cv::Scalar(grey, grey + 5, grey + 15), cv::FILLED);
    const int cell = std::max(8, width / 6);
    for (int wy = top + cell / 2; wy + cell < house.br().y - cell; wy += cell * 3 / 2)
      for (int wx = x + cell / 2; wx + cell < house.br().x; wx += cell * 3 / 2)
        cv::rectangle(room, cv::Rect(wx, wy, cell * 2 / 3, cell), cv::Scalar(70, 62, 55),
                      cv::FILLED);
    x += width + int(rng() % unsigned(w / 30 + 1));
  }
  cv::rectangle(room, cv::Rect(0, h * 78 / 100, w, h), cv::Scalar(92, 92, 96), cv::FILLED);
  cv::line(room, {0, h * 78 / 100}, {w, h * 78 / 100}, cv::Scalar(200, 200, 200), 3);
  for (int x = 0; x < w; x += w / 8)
    cv::line(room, {x, h * 90 / 100}, {x + w / 16, h * 90 / 100}, cv::Scalar(230, 230, 230), 4);
  for (int x = w / 10; x < w; x += w / 3)
    cv::line(room, {x, h * 30 / 100}, {x, h * 80 / 100}, cv::Scalar(40, 40, 40), 5);
}

}  // namespace

std::array<cv::Point2f, 4> hallBorderCorners(const LectureScene& scene) {
  return slideQuad(scene, -kBorder, -kBorder, 1 + kBorder, 1 + kBorder);
}

void drawRoomKind(cv::Mat& room, const LectureScene& scene) {
  std::mt19937 rng(scene.seed * 40503u + 7u);
  if (scene.room == RoomKind::Hall) drawHall(room, scene, rng);
  if (scene.room == RoomKind::Blackboard) drawBlackboardRoom(room, scene, rng);
  if (scene.room == RoomKind::Outdoor) drawOutdoor(room, rng);
  cv::GaussianBlur(room, room, cv::Size(0, 0), 0.8);  // the lens
}

cv::Mat lightingGain(const LectureScene& scene) {
  if (scene.room == RoomKind::Plain) return cv::Mat();
  const int w = scene.frameSize.width, h = scene.frameSize.height;
  // Separable: a Gaussian vignette times light falling off from one side.
  std::mt19937 rng(scene.seed * 9176u + 3u);
  const bool fromLeft = rng() % 2;
  cv::Mat gx(1, w, CV_32F), gy(h, 1, CV_32F);
  for (int x = 0; x < w; ++x) {
    const float u = (x - w / 2.f) / (w / 2.f), side = fromLeft ? 1 - x / float(w) : x / float(w);
    gx.at<float>(x) = std::exp(-0.35f * u * u) * (0.82f + 0.3f * side);
  }
  for (int y = 0; y < h; ++y) {
    const float v = (y - h / 2.f) / (h / 2.f);
    gy.at<float>(y) = std::exp(-0.3f * v * v);
  }
  cv::Mat gain = gy * gx, channels[3] = {gain, gain, gain}, out;
  cv::merge(channels, 3, out);
  return out;
}
