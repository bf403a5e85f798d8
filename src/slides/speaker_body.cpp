#include "slides/speaker_body.h"

#include <algorithm>
#include <vector>

#include <opencv2/imgproc.hpp>

#include "slides/packed_morphology.h"
#include "slides/plain_pixels.h"

namespace slidetrack {

namespace {

// Clothing and skin differ from the slide's background by this much at least, and vary
// within a few pixels by less than text and pictures do.
constexpr int kOffBackground = 25;
constexpr double kPlainDeviation = 8.0;
// A template's footer or side bar spans the screen; a person does not.
constexpr double kMaxWidthShare = 0.6;
// Where his legs meet the bottom edge spans less than this share of it.
constexpr double kLegsShare = 0.3;
constexpr int kBarEdge = 2;
// A head or hand covers at most this share of a trunk's area.
constexpr double kEndShare = 0.25;

// Called several times a frame on screen-sized images: the buffers are kept between calls.
struct Scratch {
  cv::Mat plain, off, solid;
};

// A region joined to the slide's own shapes (1 in region, within box): his torso and head
// stand above where his legs meet the bottom edge, give or take his legs' own span, so what
// rises from there within that band, touching something live, is his; beyond it, a bar's
// or his arm's, only where he just moved (near). Marks 3 his, 2 not; says whether any is.
bool cutJoined(cv::Mat& region, cv::Rect box, const cv::Mat& live, const cv::Mat& near, int minArea,
               int margin) {
  const int w = region.cols, h = region.rows;
  // A side bar runs down the whole height; he does not reach the top. Its blurred edge
  // may break the run a column or two off it.
  std::vector<unsigned char> bar(size_t(w), 0);
  for (int c = box.x; c < box.x + box.width; ++c) {
    int y = h - 1;
    while (y > h - 1 - margin && region.at<unsigned char>(y, c) != 1) --y;
    while (y >= 0 && region.at<unsigned char>(y, c) == 1) --y;
    if (y > margin) continue;
    for (int k = std::max(0, c - kBarEdge); k <= std::min(w - 1, c + kBarEdge); ++k)
      bar[size_t(k)] = 1;
  }
  for (int r = box.y; r < box.y + box.height; ++r) {
    unsigned char* in = region.ptr<unsigned char>(r);
    for (int c = box.x; c < box.x + box.width; ++c)
      if (in[c] == 1 && bar[size_t(c)]) in[c] = 5;
  }
  int x0 = w, x1 = -1;
  for (int y = std::max(box.y, h - margin - 1); y < h; ++y)
    for (int x = box.x; x < box.x + box.width; ++x)
      if (region.at<unsigned char>(y, x) == 1) x0 = std::min(x0, x), x1 = std::max(x1, x);
  // Legs joined to a footer give no band.
  if (x1 - x0 > kLegsShare * w) x1 = x0 - 1;
  const int from = x0 - (x1 - x0) / 2, to = x1 + (x1 - x0) / 2;
  for (int r = box.y; r < box.y + box.height; ++r) {
    unsigned char* in = region.ptr<unsigned char>(r);
    for (int c = box.x; c < box.x + box.width; ++c)
      if (in[c] == 1 && (c < from || c > to)) in[c] = 5;
  }
  int standing = 0;
  for (int y = std::max(box.y, h - margin - 1); y < h; ++y)
    for (int x = std::max(box.x, from); x <= std::min(to, box.x + box.width - 1); ++x)
      if (region.at<unsigned char>(y, x) == 1)
        standing += cv::floodFill(region, cv::Point(x, y), 4, nullptr, 0, 0, 8);
  bool alive = false, any = false;
  for (int r = box.y; r < box.y + box.height; ++r) {
    const unsigned char* in = region.ptr<unsigned char>(r);
    const unsigned char* l = live.ptr<unsigned char>(r);
    for (int c = box.x; c < box.x + box.width && !alive; ++c) alive = in[c] == 4 && l[c];
  }
  const bool stands = alive && standing >= minArea;
  for (int r = box.y; r < box.y + box.height; ++r) {
    unsigned char* in = region.ptr<unsigned char>(r);
    const unsigned char* n = near.empty() ? nullptr : near.ptr<unsigned char>(r);
    for (int c = box.x; c < box.x + box.width; ++c) {
      if (in[c] != 1 && in[c] != 4 && in[c] != 5) continue;
      in[c] = (in[c] == 4 && stands) || (n && n[c]) ? 3 : 2;
      any = any || in[c] == 3;
    }
  }
  return any;
}

// Marks 4 the trunk of the region (1 in region, within box) and the thin parts touching it,
// and says whether the trunk has a body's shape.
bool trunkWithLimbs(cv::Mat& region, cv::Rect box, int minArea, int margin) {
  const int w = region.cols, h = region.rows;
  cv::Mat roi = region(box), mask = roi == 1;
  const int bottom = std::max(0, h - margin - 1 - box.y);
  int x0 = box.width, x1 = -1;
  for (int y = bottom; y < mask.rows; ++y)
    for (int x = 0; x < mask.cols; ++x)
      if (mask.at<unsigned char>(y, x)) x0 = std::min(x0, x), x1 = std::max(x1, x);
  if (x1 < 0 || x1 - x0 > kLegsShare * w) return false;
  const int d = std::max(3, (x1 - x0 + 1) / 3);
  cv::Mat thick, trunk, limbs, labels, touch;
  cv::morphologyEx(mask, thick, cv::MORPH_OPEN,
                   cv::getStructuringElement(cv::MORPH_ELLIPSE, cv::Size(d, d)));
  // The trunk stands on the bottom edge; thick parts apart from it are the slide's.
  trunk = cv::Mat::zeros(thick.size(), CV_8UC1);
  for (int y = bottom; y < thick.rows; ++y)
    for (int x = 0; x < thick.cols; ++x)
      if (thick.at<unsigned char>(y, x) == 255 && !trunk.at<unsigned char>(y, x)) {
        cv::Mat seed = thick.clone();
        cv::floodFill(seed, cv::Point(x, y), 128, nullptr, 0, 0, 8);
        trunk |= seed == 128;
      }
  const cv::Rect t = cv::boundingRect(trunk);
  if (t.empty() || box.y + t.y <= margin || t.width > kMaxWidthShare * w ||
      cv::countNonZero(trunk) < minArea)
    return false;
  cv::bitwise_and(mask, ~thick, limbs);
  const int n = cv::connectedComponents(limbs, labels, 8, CV_32S);
  cv::dilate(trunk, touch, cv::Mat());
  std::vector<unsigned char> his(size_t(n), 0);
  for (int y = 0; y < labels.rows; ++y)
    for (int x = 0; x < labels.cols; ++x)
      if (touch.at<unsigned char>(y, x)) his[size_t(labels.at<int>(y, x))] = 1;
  cv::Mat arms = cv::Mat::zeros(roi.size(), CV_8UC1);
  for (int y = 0; y < roi.rows; ++y)
    for (int x = 0; x < roi.cols; ++x) {
      const int l = labels.at<int>(y, x);
      if (l > 0 && his[size_t(l)]) arms.at<unsigned char>(y, x) = 255;
    }
  // His head and hands, thick but small, hang on the thin parts or the trunk; a slide's block
  // is larger.
  cv::Mat ends, stats, centroids;
  cv::bitwise_and(thick, ~trunk, ends);
  const int m = cv::connectedComponentsWithStats(ends, labels, stats, centroids, 8, CV_32S);
  const int trunkArea = cv::countNonZero(trunk);
  cv::dilate(arms | trunk, touch, cv::Mat());
  std::vector<unsigned char> end(size_t(m), 0);
  for (int y = 0; y < labels.rows; ++y)
    for (int x = 0; x < labels.cols; ++x) {
      const int l = labels.at<int>(y, x);
      if (l > 0 && touch.at<unsigned char>(y, x) &&
          kEndShare * trunkArea >= stats.at<int>(l, cv::CC_STAT_AREA))
        end[size_t(l)] = 1;
    }
  for (int y = 0; y < roi.rows; ++y)
    for (int x = 0; x < roi.cols; ++x)
      if (trunk.at<unsigned char>(y, x) || arms.at<unsigned char>(y, x) ||
          end[size_t(labels.at<int>(y, x))])
        roi.at<unsigned char>(y, x) = 4;
  return true;
}

}  // namespace

void bodyPlainPixels(const cv::Mat& work, cv::Mat& plain) {
  plainPixels(work, kPlainDeviation, plain);
}

void speakerBody(const cv::Mat& work, int background, const cv::Mat& live, cv::Mat& body,
                 const BodyHints* hints) {
  const int w = work.cols, h = work.rows;
  // A new buffer: callers may hold shallow copies of the last body.
  body = cv::Mat::zeros(work.size(), CV_8UC1);
  // A body must touch something live.
  if (cv::countNonZero(live) == 0) return;
  thread_local Scratch s;
  const bool madePlain = hints && hints->plain.size() == work.size();
  if (!madePlain) bodyPlainPixels(work, s.plain);
  const cv::Mat& plain = madePlain ? hints->plain : s.plain;
  // Darker or lighter than the background: outside its band, which the library tests several
  // pixels at a time (a table look-up goes one by one).
  cv::inRange(work, cv::Scalar(background - kOffBackground),
              cv::Scalar(background + kOffBackground), s.off);
  cv::bitwise_not(s.off, s.off);
  if (hints && !hints->off.empty()) cv::bitwise_or(s.off, hints->off, s.off);
  cv::bitwise_and(plain, s.off, s.solid);
  // Text strokes and thin rules are no body; a plain interior joins across its outline.
  static const cv::Mat open = cv::getStructuringElement(cv::MORPH_RECT, cv::Size(5, 5));
  static const cv::Mat close = cv::getStructuringElement(cv::MORPH_ELLIPSE, cv::Size(9, 9));
  if (!packedOpenClose(s.solid, open, close)) {
    cv::morphologyEx(s.solid, s.solid, cv::MORPH_OPEN, open);
    cv::morphologyEx(s.solid, s.solid, cv::MORPH_CLOSE, close);
  }
  const int margin = 6;  // the rim the decision leaves out, and a little more
  // A head and shoulders cover this much of the screen at least.
  const int minArea = std::max(16, w * h / 50);
  // He stands on the floor, below the screen's bottom edge: only regions that reach it are
  // looked at, each filled from there (255 not yet seen, 1 the one at hand, 3 a body, 2 not).
  cv::Mat& region = s.solid;
  bool any = false;
  cv::Rect hisBox;  // round the regions taken for him
  for (int y = std::max(0, h - margin - 1); y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      if (region.at<unsigned char>(y, x) != 255) continue;
      cv::Rect box;
      const int area = cv::floodFill(region, cv::Point(x, y), 1, &box, 0, 0, 8);
      // A template's side bar runs from the top; a footer spans the screen.
      const bool shaped = box.y > margin && box.width <= kMaxWidthShare * w;
      if (!shaped && area >= minArea && hints && hints->cutJoined) {
        if (cutJoined(region, box, live, hints->near, minArea, margin)) any = true, hisBox |= box;
        continue;
      }
      if (!shaped && area >= minArea && hints && hints->limbs &&
          trunkWithLimbs(region, box, minArea, margin)) {
        bool alive = false;
        for (int r = box.y; !alive && r < box.y + box.height; ++r)
          for (int c = box.x; c < box.x + box.width && !alive; ++c)
            alive = region.at<unsigned char>(r, c) == 4 && live.at<unsigned char>(r, c);
        for (int r = box.y; r < box.y + box.height; ++r)
          for (int c = box.x; c < box.x + box.width; ++c) {
            unsigned char& v = region.at<unsigned char>(r, c);
            if (v == 1 || v == 4) v = v == 4 && alive ? 3 : 2;
          }
        if (alive) any = true, hisBox |= box;
        continue;
      }
      const bool person = shaped && area >= minArea;
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
      // The region's pixels are the only ones at 1, all within its box: marked there without
      // a second fill.
      const unsigned char mark = alive ? 3 : 2;
      for (int r = box.y; r < box.y + box.height; ++r) {
        unsigned char* in = region.ptr<unsigned char>(r);
        for (int c = box.x; c < box.x + box.width; ++c) in[c] = in[c] == 1 ? mark : in[c];
      }
      if (alive) any = true, hisBox |= box;
    }
  }
  if (!any) return;
  // Only the box round him is marked and grown: the rest of the body stays clear.
  cv::Mat in = body(hisBox);
  cv::compare(region(hisBox), 3, in, cv::CMP_EQ);
  const int reach = close.cols / 2;
  const cv::Rect around =
      (hisBox + cv::Size(2 * reach, 2 * reach) - cv::Point(reach, reach)) & cv::Rect(0, 0, w, h);
  // All round the box the body is clear, so the packed dilation, which reads nothing beyond
  // its mask, gives what the library's does.
  cv::Mat grown = body(around);
  if (!packedDilate(grown, close, grown)) {
    cv::Mat library;
    cv::dilate(grown, library, close);
    library.copyTo(grown);
  }
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
