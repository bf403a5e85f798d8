#include "slides/ink_strokes.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

#include <opencv2/imgproc.hpp>

namespace slidetrack {

namespace {

// HSV saturation (0..255) of pen ink, also where a stroke's edge blends into a light slide.
constexpr int kInkSaturation = 77;
// Work pixels around a broad moving region whose changes belong to it.
constexpr int kBroadReach = 4;
// OpenCV hue units (2 degrees) between strokes of one pen, lit alike.
constexpr int kInkHues = 8;
// Times a written line crosses a row or column it spans, on average at most; a circle
// crosses each twice.
constexpr double kLineCrossings = 2.5;

cv::Mat square(int side) { return cv::getStructuringElement(cv::MORPH_RECT, cv::Size(side, side)); }

// 255 where screenBgr, brought to size, has the colour of pen ink.
void saturated(const cv::Mat& screenBgr, cv::Size size, cv::Mat& out) {
  cv::Mat small, hsv;
  cv::resize(screenBgr, small, size, 0, 0, cv::INTER_AREA);
  cv::cvtColor(small, hsv, cv::COLOR_BGR2HSV);
  cv::extractChannel(hsv, out, 1);
  cv::threshold(out, out, kInkSaturation - 1, 255, cv::THRESH_BINARY);
}

// The most common hue (0..179) of the marked pixels, -1 when none.
int commonHue(const cv::Mat& hue, const cv::Mat& marked) {
  int histogram[180] = {0}, best = -1;
  for (int y = 0; y < hue.rows; ++y) {
    const unsigned char* h = hue.ptr<unsigned char>(y);
    const unsigned char* m = marked.ptr<unsigned char>(y);
    for (int x = 0; x < hue.cols; ++x)
      if (m[x]) ++histogram[std::min<int>(h[x], 179)];
  }
  for (int k = 0; k < 180; ++k)
    if (histogram[k] > 0 && (best < 0 || histogram[k] > histogram[best])) best = k;
  return best;
}

// Runs of label k along the rows of box (across: along its columns), and the lines holding any.
void crossings(const cv::Mat& labels, int k, const cv::Rect& box, bool across, int& runs,
               int& lines) {
  runs = lines = 0;
  const int outer = across ? box.width : box.height, inner = across ? box.height : box.width;
  for (int i = 0; i < outer; ++i) {
    int here = 0;
    bool inside = false;
    for (int j = 0; j < inner; ++j) {
      const int y = box.y + (across ? j : i), x = box.x + (across ? i : j);
      const bool on = labels.at<int>(y, x) == k;
      here += on && !inside;
      inside = on;
    }
    runs += here;
    lines += here > 0;
  }
}

// Whether piece k of labels (with its stats) is a long, simple line (penLinePixels).
bool simpleLine(const cv::Mat& labels, const cv::Mat& stats, int k, int minLength) {
  const cv::Rect box(stats.at<int>(k, cv::CC_STAT_LEFT), stats.at<int>(k, cv::CC_STAT_TOP),
                     stats.at<int>(k, cv::CC_STAT_WIDTH), stats.at<int>(k, cv::CC_STAT_HEIGHT));
  if (std::max(box.width, box.height) < minLength) return false;
  int rowRuns, rows, colRuns, cols;
  crossings(labels, k, box, false, rowRuns, rows);
  crossings(labels, k, box, true, colRuns, cols);
  return rowRuns <= kLineCrossings * rows && colRuns <= kLineCrossings * cols;
}

// Marks in touched the labels that have a pixel in mask.
void labelsIn(const cv::Mat& labels, const cv::Mat& mask, std::vector<unsigned char>& touched) {
  for (int y = 0; y < labels.rows; ++y) {
    const int* l = labels.ptr<int>(y);
    const unsigned char* m = mask.ptr<unsigned char>(y);
    for (int x = 0; x < labels.cols; ++x)
      if (m[x]) touched[size_t(l[x])] = 1;
  }
}

}  // namespace

int penLinePixels(const cv::Mat& strokes, int minLength, const cv::Mat& near) {
  cv::Mat labels, stats, centroids;
  const int n = cv::connectedComponentsWithStats(strokes, labels, stats, centroids, 8, CV_32S);
  std::vector<unsigned char> reaches(size_t(n), 0);
  labelsIn(labels, near, reaches);
  int pixels = 0;
  bool reached = false;
  for (int k = 1; k < n; ++k) {
    if (!simpleLine(labels, stats, k, minLength)) continue;
    pixels += stats.at<int>(k, cv::CC_STAT_AREA);
    reached = reached || reaches[size_t(k)];
  }
  return reached ? pixels : 0;
}

void penLinesThrough(const cv::Mat& screenBgr, const cv::Mat& newPixels, const cv::Mat& seen,
                     int minLength, cv::Mat& lines) {
  cv::Mat strokes, ends, small, hsv, hue;
  inkStrokes(screenBgr, newPixels, strokes);
  cv::bitwise_and(strokes, seen, ends);
  lines = cv::Mat::zeros(newPixels.size(), CV_8UC1);
  if (cv::countNonZero(ends) == 0) return;
  // Only strokes in the colour of those that show: not his sleeve or face where he stands.
  cv::resize(screenBgr, small, newPixels.size(), 0, 0, cv::INTER_AREA);
  cv::cvtColor(small, hsv, cv::COLOR_BGR2HSV);
  cv::extractChannel(hsv, hue, 0);
  const int pen = commonHue(hue, ends);
  for (int y = 0; y < hue.rows; ++y) {
    const unsigned char* h = hue.ptr<unsigned char>(y);
    unsigned char* s = strokes.ptr<unsigned char>(y);
    for (int x = 0; x < hue.cols; ++x) {
      const int apart = std::abs(h[x] - pen);
      if (std::min(apart, 180 - apart) > kInkHues) s[x] = 0;
    }
  }
  cv::Mat labels, stats, centroids;
  const int n = cv::connectedComponentsWithStats(strokes, labels, stats, centroids, 8, CV_32S);
  std::vector<unsigned char> keep(size_t(n), 0);
  labelsIn(labels, ends, keep);
  for (int k = 1; k < n; ++k)
    keep[size_t(k)] = keep[size_t(k)] && simpleLine(labels, stats, k, minLength);
  for (int y = 0; y < labels.rows; ++y) {
    const int* l = labels.ptr<int>(y);
    unsigned char* o = lines.ptr<unsigned char>(y);
    for (int x = 0; x < labels.cols; ++x) o[x] = l[x] && keep[size_t(l[x])] ? 255 : 0;
  }
}

bool sameInk(const cv::Mat& screenBgr, const cv::Mat& a, const cv::Mat& b) {
  cv::Mat small, hsv, hue;
  cv::resize(screenBgr, small, a.size(), 0, 0, cv::INTER_AREA);
  cv::cvtColor(small, hsv, cv::COLOR_BGR2HSV);
  cv::extractChannel(hsv, hue, 0);
  const int ha = commonHue(hue, a), hb = commonHue(hue, b);
  if (ha < 0 || hb < 0) return true;
  const int apart = std::abs(ha - hb);
  return std::min(apart, 180 - apart) <= kInkHues;
}

void inkStrokes(const cv::Mat& screenBgr, const cv::Mat& newPixels, cv::Mat& strokes) {
  // Filled areas (a highlighted bar, a picture) are not strokes, even in a strong colour.
  cv::Mat thick, coloured;
  cv::morphologyEx(newPixels, thick, cv::MORPH_OPEN, square(5));
  cv::bitwise_and(newPixels, ~thick, strokes);
  saturated(screenBgr, newPixels.size(), coloured);
  cv::bitwise_and(strokes, coloured, strokes);
}

void writtenStrokes(const cv::Mat& screenBgr, const cv::Mat& newPixels, const cv::Mat& moving,
                    cv::Mat& written, cv::Mat& strokes) {
  // A pen adds a line a few pixels wide; whatever moves wider than a stroke is someone.
  cv::Mat broad, coloured;
  cv::morphologyEx(moving, broad, cv::MORPH_OPEN, square(5));
  cv::dilate(broad, broad, square(2 * kBroadReach + 1));
  cv::bitwise_and(newPixels, moving, written);
  written.setTo(0, broad);
  // Black text that someone uncovers says nothing either way.
  saturated(screenBgr, newPixels.size(), coloured);
  cv::bitwise_and(written, coloured, written);
  inkStrokes(screenBgr, written, strokes);
}

}  // namespace slidetrack
