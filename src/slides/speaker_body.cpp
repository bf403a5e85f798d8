#include "slides/speaker_body.h"

#include <algorithm>

#include <opencv2/imgproc.hpp>

namespace slidetrack {

namespace {

// Clothing and skin differ from the slide's background by this much at least, and vary
// within a few pixels by less than text and pictures do.
constexpr int kOffBackground = 25;
constexpr double kPlainDeviation = 8.0;
// A template's footer or side bar spans the screen; a person does not.
constexpr double kMaxWidthShare = 0.6;

// Called several times a frame on screen-sized images: the buffers are kept between calls.
struct Scratch {
  cv::Mat f, square, mean, meanSq, variance, plain, offTable, off, solid;
};

}  // namespace

void speakerBody(const cv::Mat& work, int background, const cv::Mat& live, cv::Mat& body) {
  const int w = work.cols, h = work.rows;
  // A new buffer: callers may hold shallow copies of the last body.
  body = cv::Mat::zeros(work.size(), CV_8UC1);
  // A body must touch something live.
  if (cv::countNonZero(live) == 0) return;
  thread_local Scratch s;
  work.convertTo(s.f, CV_32F);
  cv::multiply(s.f, s.f, s.square);
  cv::blur(s.f, s.mean, cv::Size(7, 7));
  cv::blur(s.square, s.meanSq, cv::Size(7, 7));
  cv::multiply(s.mean, s.mean, s.square);
  cv::subtract(s.meanSq, s.square, s.variance);
  cv::compare(s.variance, kPlainDeviation * kPlainDeviation, s.plain, cv::CMP_LT);
  // Darker or lighter than the background, in one look-up.
  s.offTable.create(1, 256, CV_8U);
  for (int v = 0; v < 256; ++v)
    s.offTable.at<unsigned char>(v) =
        v < background - kOffBackground || v > background + kOffBackground ? 255 : 0;
  cv::LUT(work, s.offTable, s.off);
  cv::bitwise_and(s.plain, s.off, s.solid);
  // Text strokes and thin rules are no body; a plain interior joins across its outline.
  static const cv::Mat open = cv::getStructuringElement(cv::MORPH_RECT, cv::Size(5, 5));
  static const cv::Mat close = cv::getStructuringElement(cv::MORPH_ELLIPSE, cv::Size(9, 9));
  cv::morphologyEx(s.solid, s.solid, cv::MORPH_OPEN, open);
  cv::morphologyEx(s.solid, s.solid, cv::MORPH_CLOSE, close);
  const int margin = 6;  // the rim the decision leaves out, and a little more
  // A head and shoulders cover this much of the screen at least.
  const int minArea = std::max(16, w * h / 50);
  // He stands on the floor, below the screen's bottom edge: only regions that reach it are
  // looked at, each filled from there (255 not yet seen, 1 the one at hand, 3 a body, 2 not).
  cv::Mat& region = s.solid;
  bool any = false;
  for (int y = std::max(0, h - margin - 1); y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      if (region.at<unsigned char>(y, x) != 255) continue;
      cv::Rect box;
      const int area = cv::floodFill(region, cv::Point(x, y), 1, &box, 0, 0, 8);
      // A template's side bar runs from the top; a footer spans the screen.
      const bool person = box.y > margin && box.width <= kMaxWidthShare * w && area >= minArea;
      // A body must touch something live: a slide's own plain shapes do not move.
      bool alive = false;
      for (int r = box.y; person && !alive && r < box.y + box.height; ++r) {
        const unsigned char* in = region.ptr<unsigned char>(r);
        const unsigned char* l = live.ptr<unsigned char>(r);
        for (int c = box.x; c < box.x + box.width; ++c)
          if (in[c] == 1 && l[c]) {
            alive = true;
            break;
          }
      }
      cv::floodFill(region, cv::Point(x, y), alive ? 3 : 2, nullptr, 0, 0, 8);
      any = any || alive;
    }
  }
  if (!any) return;
  cv::compare(region, 3, body, cv::CMP_EQ);
  cv::dilate(body, body, close);
}

int backgroundGrey(const int (&histogram)[256], int spread) {
  int best = 0, bestCount = -1;
  for (int g = 0; g < 256; ++g) {
    int count = 0;
    for (int v = std::max(0, g - spread); v <= std::min(255, g + spread); ++v)
      count += histogram[v];
    if (count > bestCount) best = g, bestCount = count;
  }
  return best;
}

}  // namespace slidetrack
