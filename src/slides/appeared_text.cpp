#include "slides/appeared_text.h"

#include <algorithm>

#include <opencv2/imgproc.hpp>

#include "slides/colour_off.h"

namespace slidetrack {

namespace {

// As for a body: clothing and skin are plain and this far from the background in grey.
constexpr int kOffBackground = 25;
constexpr double kPlainDeviation = 8.0;
// The slide's background in the reference, within vignetting's spread of its common grey.
constexpr int kBackgroundTolerance = 20;
// Work pixels around his plain parts where his blurred outline changes.
constexpr int kOutline = 4;
// A line of text at work size: glyphs at most this many pixels apart, this many times as
// wide as it is tall and no taller than this.
constexpr int kGlyphGap = 7;
constexpr int kLineAspect = 2;
constexpr int kMaxLineHeight = 14;
constexpr int kMinLineWidth = 10;
// A line holds at least this many separate pieces (letters or words), none wider than half
// of it: an arm's blurred outline or a pen's stroke is one long piece.
constexpr int kMinGlyphs = 2;
// HSV saturation (0..255) of pen ink, as the ink rules take it.
constexpr int kInkSaturation = 77;
// A body's changes are broader than this both ways; a line of text is not.
constexpr int kBroad = 7;

void plain(const cv::Mat& grey, cv::Mat& out) {
  cv::Mat f, sq, mean, meanSq;
  grey.convertTo(f, CV_32F);
  cv::multiply(f, f, sq);
  cv::blur(f, mean, cv::Size(7, 7));
  cv::blur(sq, meanSq, cv::Size(7, 7));
  cv::multiply(mean, mean, sq);
  cv::subtract(meanSq, sq, sq);
  cv::compare(sq, kPlainDeviation * kPlainDeviation, out, cv::CMP_LT);
}

}  // namespace

void appearedText(const ScreenLook& now, const cv::Mat& ref, const cv::Mat& changed, int commonGrey,
                  cv::Mat& text) {
  // Glyphs: changes no thicker than a line of text, where the reference showed background.
  cv::Mat thick, near;
  cv::morphologyEx(changed, thick, cv::MORPH_OPEN,
                   cv::getStructuringElement(cv::MORPH_RECT, cv::Size(kBroad, kBroad)));
  cv::bitwise_and(changed, ~thick, text);
  cv::inRange(ref, commonGrey - kBackgroundTolerance, commonGrey + kBackgroundTolerance, near);
  cv::bitwise_and(text, near, text);
  if (cv::countNonZero(text) == 0) {
    text.setTo(0);
    return;
  }
  // The rest looks only around them, far enough that his outline and the 7x7 windows
  // around it are seen as over the whole image.
  const int reach = kOutline + 4;
  const cv::Rect box =
      (cv::boundingRect(text) - cv::Point(reach, reach) + cv::Size(2 * reach, 2 * reach)) &
      cv::Rect(0, 0, text.cols, text.rows);
  cv::Mat glyphs = text(box);
  // Plain background in the reference, not a picture's light part.
  cv::Mat bare;
  plain(ref(box), bare);
  cv::bitwise_and(glyphs, bare, glyphs);
  // Not in a pen's strong colour: strokes someone draws beside himself are his until the
  // ink rules see them.
  cv::Mat hsv, saturation;
  cv::cvtColor(now.colour(box), hsv, cv::COLOR_BGR2HSV);
  cv::extractChannel(hsv, saturation, 1);
  glyphs.setTo(0, saturation >= kInkSaturation);
  // Apart from his plain parts now.
  cv::Mat his, off, low, high;
  plain(now.grey(box), his);
  cv::compare(now.grey(box), commonGrey - kOffBackground, low, cv::CMP_LT);
  cv::compare(now.grey(box), commonGrey + kOffBackground, high, cv::CMP_GT);
  colourOffBackground(now.colour, now.grey, commonGrey, off);
  cv::bitwise_or(off(box), low, low);
  cv::bitwise_or(low, high, low);
  cv::bitwise_and(his, low, his);
  cv::dilate(
      his, his,
      cv::getStructuringElement(cv::MORPH_ELLIPSE, cv::Size(2 * kOutline + 1, 2 * kOutline + 1)));
  glyphs.setTo(0, his);
  // Only glyphs that line up into a line of text.
  cv::Mat line, labels, stats, centroids, pieces;
  cv::morphologyEx(glyphs, line, cv::MORPH_CLOSE,
                   cv::getStructuringElement(cv::MORPH_RECT, cv::Size(kGlyphGap, 1)));
  const int n = cv::connectedComponentsWithStats(line, labels, stats, centroids, 8, CV_32S);
  cv::Mat pieceStats, pieceCentroids;
  const int m =
      cv::connectedComponentsWithStats(glyphs, pieces, pieceStats, pieceCentroids, 8, CV_32S);
  std::vector<int> lineOf(size_t(m), 0), count(size_t(n), 0), widest(size_t(n), 0);
  for (int y = 0; y < pieces.rows; ++y) {
    const int* p = pieces.ptr<int>(y);
    const int* l = labels.ptr<int>(y);
    for (int x = 0; x < pieces.cols; ++x)
      if (p[x] && !lineOf[size_t(p[x])]) {
        lineOf[size_t(p[x])] = l[x];
        ++count[size_t(l[x])];
        widest[size_t(l[x])] =
            std::max(widest[size_t(l[x])], pieceStats.at<int>(p[x], cv::CC_STAT_WIDTH));
      }
  }
  std::vector<unsigned char> keep(size_t(n), 0);
  for (int k = 1; k < n; ++k) {
    const int w = stats.at<int>(k, cv::CC_STAT_WIDTH), h = stats.at<int>(k, cv::CC_STAT_HEIGHT);
    keep[size_t(k)] = w >= kMinLineWidth && w >= kLineAspect * h && h <= kMaxLineHeight &&
                      count[size_t(k)] >= kMinGlyphs && 2 * widest[size_t(k)] <= w;
  }
  for (int y = 0; y < glyphs.rows; ++y) {
    const int* l = labels.ptr<int>(y);
    unsigned char* t = glyphs.ptr<unsigned char>(y);
    for (int x = 0; x < glyphs.cols; ++x)
      if (!keep[size_t(l[x])]) t[x] = 0;
  }
}

}  // namespace slidetrack
