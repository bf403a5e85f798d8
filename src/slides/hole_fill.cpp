#include "slides/hole_fill.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

#include <opencv2/imgproc.hpp>

namespace slidetrack {

namespace {

// Seen pixels on both sides of a gap in a row that differ by no more than this in every
// channel are one bar or one background running behind him.
constexpr int kAlike = 40;
// The pixels right at a gap's ends may hold his blurred outline: the ends are read this far
// out.
constexpr int kReach = 2;
// A bar or a background runs on beyond the gap for this many pixels alike on one side at
// least (its own text may break it on the other); strokes of text the gap happens to end on
// do not, and drawn across would streak.
constexpr int kRun = 3;

// Whether the row runs on alike from `end` for kRun seen pixels in direction `step`.
bool runsOn(const cv::Vec3b* p, const unsigned char* h, int cols, int end, int step) {
  for (int k = 1; k <= kRun; ++k) {
    const int i = end + step * k;
    if (i < 0 || i >= cols || h[i]) return false;
    for (int c = 0; c < 3; ++c)
      if (std::abs(p[i][c] - p[end][c]) > kAlike / 2) return false;
  }
  return true;
}

// Fills gaps of each row whose two ends agree, straight across, and clears them in hole.
void fillAlongRows(cv::Mat& picture, cv::Mat& hole) {
  for (int y = 0; y < picture.rows; ++y) {
    cv::Vec3b* p = picture.ptr<cv::Vec3b>(y);
    unsigned char* h = hole.ptr<unsigned char>(y);
    for (int x = 0; x < picture.cols;) {
      if (!h[x]) {
        ++x;
        continue;
      }
      const int a = x;
      while (x < picture.cols && h[x]) ++x;
      const int left = a - kReach, right = x - 1 + kReach;
      if (left < 0 || right >= picture.cols || h[left] || h[right]) continue;
      const cv::Vec3b l = p[left], r = p[right];
      bool alike = true;
      for (int c = 0; c < 3; ++c) alike = alike && std::abs(l[c] - r[c]) <= kAlike;
      if (!alike ||
          (!runsOn(p, h, picture.cols, left, -1) && !runsOn(p, h, picture.cols, right, 1)))
        continue;
      for (int i = a; i < x; ++i) {
        const float t = float(i - left) / float(right - left);
        for (int c = 0; c < 3; ++c)
          p[i][c] = cv::saturate_cast<unsigned char>(l[c] + t * (r[c] - l[c]));
        h[i] = 0;
      }
    }
  }
}

}  // namespace

void fillFromSurround(cv::Mat& picture, const cv::Mat& unseen) {
  if (picture.empty() || cv::countNonZero(unseen) == 0) return;
  // Every image of a picture's size is kept between calls: each of them fresh would be
  // mapped anew and faulted in page by page, which costs more than the fill itself.
  thread_local cv::Mat hole, seen, masked, halfMasked, w8, norm3, up, lack;
  thread_local std::vector<cv::Mat> colour(1), weight(1);
  // Slides are made of rows: bars, lines of text, a background; what runs on across a gap
  // is taken first, the rest from all round.
  unseen.copyTo(hole);
  fillAlongRows(picture, hole);
  if (cv::countNonZero(hole) == 0) return;
  // Push-pull: halve the seen colours, weighted by how much of each pixel is seen, until
  // the holes close; then going back up, each level's holes take the coarser level's
  // colours in proportion to what they lack of being seen. The full size is left out: its
  // pixels are seen or not, so its holes take the half size's colours as they are.
  cv::bitwise_not(hole, seen);
  picture.copyTo(masked);
  masked.setTo(cv::Scalar::all(0), hole);
  const cv::Size half((picture.cols + 1) / 2, (picture.rows + 1) / 2);
  cv::resize(masked, halfMasked, half, 0, 0, cv::INTER_AREA);
  halfMasked.convertTo(colour[0], CV_32FC3);
  cv::resize(seen, w8, half, 0, 0, cv::INTER_AREA);
  w8.convertTo(weight[0], CV_32F, 1.0 / 255);
  size_t levels = 1;
  while (colour[levels - 1].cols > 1 || colour[levels - 1].rows > 1) {
    const cv::Size next((colour[levels - 1].cols + 1) / 2, (colour[levels - 1].rows + 1) / 2);
    if (colour.size() == levels) {
      colour.emplace_back();
      weight.emplace_back();
    }
    cv::Mat& c = colour[levels];
    cv::Mat& w = weight[levels];
    cv::resize(colour[levels - 1], c, next, 0, 0, cv::INTER_AREA);
    cv::resize(weight[levels - 1], w, next, 0, 0, cv::INTER_AREA);
    // A partly seen pixel stands for its seen part alone.
    cv::cvtColor(cv::max(w, 1e-6f), norm3, cv::COLOR_GRAY2BGR);
    cv::divide(c, norm3, c);
    w = cv::min(w * 4, 1.0f);
    cv::cvtColor(w, norm3, cv::COLOR_GRAY2BGR);
    cv::multiply(c, norm3, c);
    ++levels;
  }
  // Each level, once filled from the one above, stands in its own place.
  for (int level = int(levels) - 2; level >= 0; --level) {
    cv::resize(colour[size_t(level) + 1], up, colour[size_t(level)].size(), 0, 0, cv::INTER_LINEAR);
    cv::subtract(1.0f, weight[size_t(level)], lack);
    cv::cvtColor(lack, norm3, cv::COLOR_GRAY2BGR);
    cv::multiply(up, norm3, up);
    cv::add(colour[size_t(level)], up, colour[size_t(level)]);
  }
  takeEnlarged(colour[0], picture, hole);
}

// Only the holes take the result: at twice the half size, the part of it around them comes
// out the same from the part of the half size around them, two pixels more each side than
// the linear taps reach, or up to an edge of the picture.
void takeEnlarged(const cv::Mat& half, cv::Mat& picture, const cv::Mat& hole) {
  thread_local cv::Mat out, out8;
  const cv::Rect box = cv::boundingRect(hole);
  cv::Rect from(0, 0, half.cols, half.rows);
  if (picture.cols == 2 * from.width && picture.rows == 2 * from.height) {
    const cv::Point tl(std::max(0, box.x / 2 - 2), std::max(0, box.y / 2 - 2));
    const cv::Point br(std::min(from.width, (box.br().x + 1) / 2 + 2),
                       std::min(from.height, (box.br().y + 1) / 2 + 2));
    from = cv::Rect(tl, br);
  }
  const cv::Rect to = from.size() == half.size()
                          ? cv::Rect(0, 0, picture.cols, picture.rows)
                          : cv::Rect(2 * from.x, 2 * from.y, 2 * from.width, 2 * from.height);
  cv::resize(half(from), out, to.size(), 0, 0, cv::INTER_LINEAR);
  out.convertTo(out8, CV_8UC3);
  out8.copyTo(picture(to), hole(to));
}

}  // namespace slidetrack
