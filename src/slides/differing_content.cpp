#include "slides/differing_content.h"

#include <algorithm>
#include <vector>

#include <opencv2/imgproc.hpp>

#include "slides/ink_strokes.h"
#include "slides/light_fit.h"

namespace slidetrack {

namespace {

// Compared at half size: a line of text is still a few pixels high, and the camera's noise
// and a pixel of shake between two intervals are blurred away.
constexpr double kScale = 0.5;
// Grey levels beyond the other picture's 3x3 range at which a pixel shows other content.
constexpr float kApart = 30.f;
// Seen pixels this close to what the speaker hid may still hold his blurred outline.
constexpr int kEdge = 2;
// Share of the seen pixels that must differ: less is noise, the speaker's fringe, the light.
constexpr double kLeastDiffering = 0.003;
// Share of the picture's height above which a differing area is no line of text: the speaker
// the pictures kept, a figure; lines of text tell two slides of one template apart.
constexpr double kTallest = 0.1;
// Side of the square of work pixels a solid area holds and a stroke of text does not.
constexpr int kSolid = 5;
// Work pixels around such an area whose differences belong to it.
constexpr int kFringe = 3;
// Work pixels by which the original may lie off a picture (the corners' error).
constexpr int kShift = 2;
// Share of the differing pixels the original must explain in one picture only, and how
// many times more than in the other (and the other's own marks than the one's), to side with
// it. Where one picture only lacks a line, the 3x3 range lets the original explain both.
constexpr double kLeastSide = 0.1;
constexpr double kClear = 3.0;
// Side of the work-pixel square whose median is the slide around a pixel; a line of text is
// lower than half of it.
constexpr int kAround = 21;
// Pixels where the picture the original does not show has marks of its own on what is plain
// in the original: at least this share of the differing pixels, and of the seen ones. A
// picture that only lacks some of the original's lines may have had them covered all along
// by something of the slide's colour.
constexpr double kLeastOwn = 0.03;
constexpr double kLeastOwnSeen = 0.0005;
// Where another slide's lines took the place of the original's, it has about as many marks
// of its own as the original explains of the other picture; a picture the speaker or the
// fill spoilt lacks the original's lines with few marks of its own instead.
constexpr double kOwnInstead = 0.8;

cv::Mat grey(const cv::Mat& bgr, cv::Size size) {
  cv::Mat g, small;
  cv::cvtColor(bgr, g, cv::COLOR_BGR2GRAY);
  cv::resize(g, small, size, 0, 0, cv::INTER_AREA);
  small.convertTo(small, CV_32F);
  return small;
}

// differs without its connected parts taller than kTallest of its height or with a solid core
// (a head, a hand): strokes of text are thin.
void keepLines(cv::Mat& differs) {
  cv::Mat labels, stats, centroids, solid;
  const int count = cv::connectedComponentsWithStats(differs, labels, stats, centroids, 8, CV_32S);
  cv::morphologyEx(differs, solid, cv::MORPH_OPEN,
                   cv::getStructuringElement(cv::MORPH_RECT, {kSolid, kSolid}));
  std::vector<bool> drop(size_t(count), false);
  const int tallest = int(kTallest * differs.rows);
  for (int k = 1; k < count; ++k) drop[size_t(k)] = stats.at<int>(k, cv::CC_STAT_HEIGHT) > tallest;
  for (int y = 0; y < solid.rows; ++y)
    for (int x = 0; x < solid.cols; ++x)
      if (solid.at<unsigned char>(y, x)) drop[size_t(labels.at<int>(y, x))] = true;
  cv::Mat dropped = cv::Mat::zeros(differs.size(), CV_8UC1);
  for (int y = 0; y < differs.rows; ++y)
    for (int x = 0; x < differs.cols; ++x)
      if (drop[size_t(labels.at<int>(y, x))]) dropped.at<unsigned char>(y, x) = 255;
  // And the bits of its outline that broke off it.
  cv::dilate(dropped, dropped,
             cv::getStructuringElement(cv::MORPH_RECT, {2 * kFringe + 1, 2 * kFringe + 1}));
  differs.setTo(0, dropped);
}

// 255 where grey stands out from the slide around it: text, lines, marks, not plain areas.
cv::Mat standsOut(const cv::Mat& grey) {
  cv::Mat g8, around;
  grey.convertTo(g8, CV_8U);
  cv::medianBlur(g8, around, kAround);
  around.convertTo(around, CV_32F);
  return cv::abs(grey - around) > kApart;
}

// 255 where a lies outside b's 3x3 range by kApart.
cv::Mat unexplained(const cv::Mat& a, const cv::Mat& b) {
  cv::Mat low, high, below, above;
  cv::erode(b, low, cv::Mat());
  cv::dilate(b, high, cv::Mat());
  cv::compare(a, low - kApart, below, cv::CMP_LT);
  cv::compare(a, high + kApart, above, cv::CMP_GT);
  return below | above;
}

// The original shifted by at most kShift work pixels to line up with picture.
cv::Mat linedUp(const cv::Mat& original, const cv::Mat& picture) {
  cv::Mat padded, score;
  cv::copyMakeBorder(original, padded, kShift, kShift, kShift, kShift, cv::BORDER_REPLICATE);
  cv::matchTemplate(padded, picture, score, cv::TM_CCOEFF_NORMED);
  cv::Point best;
  cv::minMaxLoc(score, nullptr, nullptr, nullptr, &best);
  return padded(cv::Rect(best, picture.size())).clone();
}

cv::Mat seenAt(const cv::Mat& unseen, cv::Size size) {
  cv::Mat hidden = cv::Mat::zeros(size, CV_8UC1);
  if (!unseen.empty()) cv::resize(unseen, hidden, size, 0, 0, cv::INTER_NEAREST);
  cv::dilate(hidden, hidden,
             cv::getStructuringElement(cv::MORPH_RECT, {2 * kEdge + 1, 2 * kEdge + 1}));
  return hidden == 0;
}

}  // namespace

DifferingContent compareWithOriginal(const cv::Mat& first, const cv::Mat& firstUnseen,
                                     const cv::Mat& second, const cv::Mat& secondUnseen,
                                     const cv::Mat& original) {
  DifferingContent result;
  const cv::Size size(std::max(1, int(first.cols * kScale)), std::max(1, int(first.rows * kScale)));
  const cv::Mat a = grey(first, size), b = grey(second, size);
  cv::Mat seen = seenAt(firstUnseen, size) & seenAt(secondUnseen, size);
  const int seenCount = cv::countNonZero(seen);
  if (seenCount == 0) return result;

  const cv::Mat bOnA = lightFitted(b, a, seen, kApart, 0.2, 2.5);
  cv::Mat differs = (unexplained(a, bOnA) | unexplained(bOnA, a)) & seen;
  // A pen's strokes are written on the slide shown, not another slide.
  cv::Mat inkA, inkB;
  inkStrokes(first, differs, inkA);
  inkStrokes(second, differs, inkB);
  differs.setTo(0, inkA | inkB);
  keepLines(differs);
  const int differing = cv::countNonZero(differs);
  result.differs = double(differing) / seenCount;
  if (result.differs < kLeastDiffering) return result;

  const cv::Mat o = grey(original, size);
  const cv::Mat agreed = seen & ~differs;
  const cv::Mat oOnA = lightFitted(linedUp(o, a), a, agreed, kApart, 0.2, 2.5);
  const cv::Mat oOnB = lightFitted(linedUp(o, b), b, agreed, kApart, 0.2, 2.5);
  const cv::Mat explainsA = ~unexplained(a, oOnA) & differs;
  const cv::Mat explainsB = ~unexplained(b, oOnB) & differs;
  result.first = double(cv::countNonZero(explainsA & ~explainsB)) / differing;
  result.second = double(cv::countNonZero(explainsB & ~explainsA)) / differing;
  const int ownA = cv::countNonZero(differs & ~explainsA & standsOut(a) & ~standsOut(oOnA));
  const int ownB = cv::countNonZero(differs & ~explainsB & standsOut(b) & ~standsOut(oOnB));
  result.firstOwn = double(ownA) / differing;
  result.secondOwn = double(ownB) / differing;
  const auto marked = [&](int own) {
    return own >= kLeastOwn * differing && own >= kLeastOwnSeen * seenCount;
  };
  const auto sides = [&](double one, double other, int ownOne, int ownOther) {
    return one >= kLeastSide && one >= kClear * other && marked(ownOther) &&
           ownOther >= kClear * ownOne && ownOther >= kOwnInstead * one * differing;
  };
  if (sides(result.first, result.second, ownA, ownB))
    result.side = OriginalSide::kFirst;
  else if (sides(result.second, result.first, ownB, ownA))
    result.side = OriginalSide::kSecond;
  else if (result.first < kLeastSide && result.second < kLeastSide && marked(ownA) && marked(ownB))
    result.side = OriginalSide::kNeither;
  else
    result.side = OriginalSide::kUnclear;
  return result;
}

}  // namespace slidetrack
