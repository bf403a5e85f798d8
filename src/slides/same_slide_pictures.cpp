#include "slides/same_slide_pictures.h"

#include <algorithm>
#include <vector>

#include <opencv2/imgproc.hpp>

#include "slides/ink_strokes.h"
#include "slides/light_fit.h"
#include "slides/mask_text.h"

namespace slidetrack {

namespace {

// Grey levels beyond the other picture's 3x3 range (a pixel of shift) at which a pixel shows
// other content: compression and the camera's noise stay within it.
constexpr float kApart = 24.f;
// Seen pixels this close to what either never saw may still hold the speaker's blurred outline.
constexpr int kEdge = 3;
// Share of the screen both must have seen: less, and a build may hide where one did not look.
constexpr double kLeastSeen = 0.3;
// Grey levels off the slide around it at which a pixel is a mark (text, a line), and the
// levels apart where both pictures have marks: there a difference is mostly their sharpness.
constexpr float kMark = 12.f;
constexpr float kApartMarks = 56.f;
// Side of the work-pixel square whose median is the slide around a pixel.
constexpr int kAround = 21;
// Connected differing pixels fewer than this are noise; a letter of text is more.
constexpr int kSpeck = 4;
// Share of the work pixels that, differing outside specks, make other content: the fringe
// of a speaker that both pictures missed in part stays below it, a line of text lies above.
constexpr double kMostDiffering = 0.002;

// The picture's channels at size, a little blurred: the two pictures' sharpness differs.
std::vector<cv::Mat> channelsAt(const cv::Mat& bgr, cv::Size size) {
  cv::Mat small;
  cv::resize(bgr, small, size, 0, 0, cv::INTER_AREA);
  small.convertTo(small, CV_32FC3);
  cv::GaussianBlur(small, small, {3, 3}, 0);
  std::vector<cv::Mat> channels;
  cv::split(small, channels);
  return channels;
}

cv::Mat hiddenAt(const cv::Mat& unseen, cv::Size size) {
  cv::Mat hidden = cv::Mat::zeros(size, CV_8UC1);
  if (!unseen.empty()) cv::resize(unseen, hidden, size, 0, 0, cv::INTER_NEAREST);
  return hidden;
}

// 255 where a lies outside b's 3x3 range by more than apart (per pixel).
cv::Mat unexplained(const cv::Mat& a, const cv::Mat& b, const cv::Mat& apart) {
  cv::Mat low, high;
  cv::erode(b, low, cv::Mat());
  cv::dilate(b, high, cv::Mat());
  const cv::Mat below = low - a, above = a - high;
  cv::Mat off;
  cv::max(below, above, off);
  return off > apart;
}

// 255 where grey stands out from the slide around it, or lies a pixel from where it does.
cv::Mat marks(const cv::Mat& grey) {
  cv::Mat g8, around, out;
  grey.convertTo(g8, CV_8U);
  cv::medianBlur(g8, around, kAround);
  around.convertTo(around, CV_32F);
  cv::dilate(cv::abs(grey - around) > kMark, out, cv::Mat());
  return out;
}

void prepare(const cv::Mat& bgr, cv::Size size, PreparedPicture& p) {
  if (p.size == size && !p.channels.empty()) return;
  p.size = size;
  p.channels = channelsAt(bgr, size);
  p.marks = marks((p.channels[0] + p.channels[1] + p.channels[2]) / 3);
}

int withoutSpecks(const cv::Mat& differs) {
  cv::Mat labels, stats, centroids;
  const int count = cv::connectedComponentsWithStats(differs, labels, stats, centroids, 8, CV_32S);
  int kept = 0;
  for (int k = 1; k < count; ++k) {
    const int area = stats.at<int>(k, cv::CC_STAT_AREA);
    if (area >= kSpeck) kept += area;
  }
  return kept;
}

// Lines of typeset text that one picture has and the other lacks among the differing pixels,
// in either direction, at size: coloured text is thin strokes in a saturated colour too.
cv::Mat textLinesApart(const cv::Mat& first, const cv::Mat& second, const cv::Mat& differs,
                       const cv::Mat& seen, const cv::Mat& hidden) {
  cv::Mat a, b, inA, inB;
  cv::resize(first, a, differs.size(), 0, 0, cv::INTER_AREA);
  cv::resize(second, b, differs.size(), 0, 0, cv::INTER_AREA);
  cv::cvtColor(a, a, cv::COLOR_BGR2GRAY);
  cv::cvtColor(b, b, cv::COLOR_BGR2GRAY);
  int histogram[256] = {0};
  for (int y = 0; y < a.rows; ++y)
    for (int x = 0; x < a.cols; ++x)
      if (seen.at<unsigned char>(y, x)) ++histogram[a.at<unsigned char>(y, x)];
  const int background = int(std::max_element(histogram, histogram + 256) - histogram);
  // Pictures do not move: every piece is still.
  const cv::Mat still = cv::Mat::zeros(differs.size(), CV_8UC1);
  newTextLines(b, a, differs, still, hidden, background, inB);
  newTextLines(a, b, differs, still, hidden, background, inA);
  return inA | inB;
}

}  // namespace

SameSlide picturesShowOneSlide(const cv::Mat& first, const cv::Mat& firstUnseen,
                               const cv::Mat& second, const cv::Mat& secondUnseen,
                               PreparedPicture* firstKept, PreparedPicture* secondKept,
                               bool textApart) {
  SameSlide result;
  if (first.empty() || first.size() != second.size()) return result;
  const cv::Size size = !firstUnseen.empty()    ? firstUnseen.size()
                        : !secondUnseen.empty() ? secondUnseen.size()
                                                : cv::Size(first.cols / 2, first.rows / 2);
  if (size.area() == 0) return result;
  cv::Mat hidden = hiddenAt(firstUnseen, size) | hiddenAt(secondUnseen, size);
  cv::dilate(hidden, hidden,
             cv::getStructuringElement(cv::MORPH_RECT, {2 * kEdge + 1, 2 * kEdge + 1}));
  const cv::Mat seen = hidden == 0;
  result.seen = double(cv::countNonZero(seen)) / size.area();
  if (result.seen < kLeastSeen) return result;
  PreparedPicture ownA, ownB;
  PreparedPicture& preparedA = firstKept ? *firstKept : ownA;
  PreparedPicture& preparedB = secondKept ? *secondKept : ownB;
  prepare(first, size, preparedA);
  prepare(second, size, preparedB);
  const std::vector<cv::Mat>&a = preparedA.channels, &b = preparedB.channels;
  const cv::Mat &marksA = preparedA.marks, &marksB = preparedB.marks;
  cv::Mat apart(size, CV_32F, cv::Scalar(kApart));
  apart.setTo(kApartMarks, marksA & marksB);
  cv::Mat differs = cv::Mat::zeros(size, CV_8UC1);
  for (size_t c = 0; c < a.size(); ++c) {
    const cv::Mat bOnA = lightFitted(b[c], a[c], seen, kApart, 0.5, 2.0);
    differs |= unexplained(a[c], bOnA, apart) | unexplained(bOnA, a[c], apart);
  }
  differs &= seen;
  // A pen's strokes are written on the slide shown, not another slide.
  // The blur and the shift widen a stroke's difference by a pixel each side.
  cv::Mat core, inkA, inkB;
  cv::erode(differs, core, cv::Mat());
  inkStrokes(first, core, inkA);
  inkStrokes(second, core, inkB);
  // Strokes packed into an area are a coloured block behind a pattern, not a pen's.
  cv::Mat ink = inkA | inkB, block;
  cv::morphologyEx(ink, block, cv::MORPH_CLOSE, cv::getStructuringElement(cv::MORPH_RECT, {5, 5}));
  cv::morphologyEx(block, block, cv::MORPH_OPEN, cv::getStructuringElement(cv::MORPH_RECT, {7, 7}));
  cv::dilate(block, block, cv::getStructuringElement(cv::MORPH_RECT, {5, 5}));
  ink.setTo(0, block);
  // A build's line of coloured text is no pen's: pen writing is a stroke, a circle, a tick.
  if (textApart) ink.setTo(0, textLinesApart(first, second, differs, seen, hidden));
  // Nor is a colour that came between the marks both show (a table's cells, a pattern's dots).
  cv::dilate(ink, ink, cv::getStructuringElement(cv::MORPH_RECT, {5, 5}));
  differs.setTo(0, ink & ~(marksA & marksB));
  result.differing = withoutSpecks(differs);
  result.same = result.differing < kMostDiffering * size.area();
  return result;
}

double shareSeenByBoth(const cv::Mat& pixels, const cv::Mat& firstUnseen,
                       const cv::Mat& secondUnseen) {
  const int all = pixels.empty() ? 0 : cv::countNonZero(pixels);
  if (all == 0) return 1.0;
  cv::Mat seen = pixels.clone();
  for (const cv::Mat* unseen : {&firstUnseen, &secondUnseen})
    if (!unseen->empty() && unseen->size() == seen.size()) seen.setTo(0, *unseen);
  return double(cv::countNonZero(seen)) / all;
}

}  // namespace slidetrack
