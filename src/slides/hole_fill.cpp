#include "slides/hole_fill.h"

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
      if (!alike) continue;
      for (int i = left + 1; i < right; ++i) {
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
  // Slides are made of rows: bars, lines of text, a background; what runs on across a gap
  // is taken first, the rest from all round.
  cv::Mat hole = unseen.clone();
  fillAlongRows(picture, hole);
  if (cv::countNonZero(hole) == 0) return;
  // Push-pull: halve the seen colours, weighted by how much of each pixel is seen, until
  // the holes close; then going back up, each level's holes take the coarser level's
  // colours in proportion to what they lack of being seen.
  std::vector<cv::Mat> colour(1), weight(1);
  cv::Mat seen;
  cv::bitwise_not(hole, seen);
  seen.convertTo(weight[0], CV_32F, 1.0 / 255);
  picture.convertTo(colour[0], CV_32FC3);
  cv::Mat weight3;
  cv::cvtColor(weight[0], weight3, cv::COLOR_GRAY2BGR);
  cv::multiply(colour[0], weight3, colour[0]);
  while (colour.back().cols > 1 || colour.back().rows > 1) {
    const cv::Size half((colour.back().cols + 1) / 2, (colour.back().rows + 1) / 2);
    cv::Mat c, w;
    cv::resize(colour.back(), c, half, 0, 0, cv::INTER_AREA);
    cv::resize(weight.back(), w, half, 0, 0, cv::INTER_AREA);
    // A partly seen pixel stands for its seen part alone.
    cv::Mat norm = cv::max(w, 1e-6f), norm3;
    cv::cvtColor(norm, norm3, cv::COLOR_GRAY2BGR);
    cv::divide(c, norm3, c);
    w = cv::min(w * 4, 1.0f);
    cv::cvtColor(w, norm3, cv::COLOR_GRAY2BGR);
    cv::multiply(c, norm3, c);
    colour.push_back(c);
    weight.push_back(w);
  }
  cv::Mat filled = colour.back();
  for (int level = int(colour.size()) - 2; level >= 0; --level) {
    cv::Mat up, lack, lack3;
    cv::resize(filled, up, colour[size_t(level)].size(), 0, 0, cv::INTER_LINEAR);
    cv::subtract(1.0f, weight[size_t(level)], lack);
    cv::cvtColor(lack, lack3, cv::COLOR_GRAY2BGR);
    cv::multiply(up, lack3, up);
    cv::add(colour[size_t(level)], up, filled);
  }
  cv::Mat out;
  filled.convertTo(out, CV_8UC3);
  out.copyTo(picture, hole);
}

}  // namespace slidetrack
