#include "screen/board_detector.h"

#include <algorithm>
#include <climits>
#include <cmath>

#include <opencv2/imgproc.hpp>

#include "screen/hough_accumulator.h"

namespace slidetrack {

namespace {

constexpr int kAngleBins = 300;
constexpr int kThresholdStep = 20;
constexpr int64_t kMaxCandidateProduct = 1000;

// Integer-valued angles get exact axis handling; others use the general formulas.
bool isIntegerAngle(float angle) { return std::fabs(angle) < 1e9f && angle == std::trunc(angle); }
bool isAxisVertical(float angle) { return isIntegerAngle(angle) && int64_t(angle) % 180 == 0; }
bool isAxisHorizontal(float angle) {
  return isIntegerAngle(angle) && (int64_t(angle) + 90) % 180 == 0;
}

// Corners far outside any frame cannot be walked (nor truncated to int safely).
bool walkable(const cv::Point2f& p) {
  return std::isfinite(p.x) && std::isfinite(p.y) && std::fabs(p.x) < 1e9f && std::fabs(p.y) < 1e9f;
}

int raised(int threshold) {
  return threshold > INT_MAX - kThresholdStep ? INT_MAX : threshold + kThresholdStep;
}

// Share of the side's examined pixels that pass hit(x, y); 0 when none is examined.
template <class Hit>
float sideShare(const cv::Point2f& a, const cv::Point2f& b, int w, int h, Hit&& hit) {
  if (!walkable(a) || !walkable(b)) return 0;
  int examined = 0, hits = 0;
  boardWalkSide(cv::Point(int(a.x), int(a.y)), cv::Point(int(b.x), int(b.y)), [&](int x, int y) {
    if (x <= 0 || x >= w - 1 || y <= 0 || y >= h - 1) return;
    ++examined;
    if (hit(x, y)) ++hits;
  });
  return examined > 0 ? float(hits) / float(examined) : 0.0f;
}

// Candidates share their sides, so each side's share is walked once: a side is one
// line between the crossings with two lines of the other family, in walk order.
class SideCache {
 public:
  SideCache(size_t lines, size_t others) : others_(others) {
    // Beyond this the memo would cost more memory than the walks cost time.
    if (lines * others * others <= (size_t(1) << 22)) share_.assign(lines * others * others, -1);
  }
  template <class Compute>
  float get(size_t line, size_t from, size_t to, Compute&& compute) {
    if (share_.empty()) return compute();
    float& slot = share_[(line * others_ + from) * others_ + to];
    if (slot < 0) slot = compute();
    return slot;
  }

 private:
  size_t others_;
  std::vector<float> share_;
};

// The search scores thousands of outlines over the same edges: the 3x3 test (block sum
// above 256) is done once per pixel.
cv::Mat blockHitMap(const cv::Mat& edges, int w, int h) {
  cv::Mat hits(std::max(h, 1), std::max(w, 1), CV_8UC1, cv::Scalar(0));
  for (int y = 1; y < h - 1; ++y) {
    const uchar* up = edges.ptr<uchar>(y - 1);
    const uchar* mid = edges.ptr<uchar>(y);
    const uchar* down = edges.ptr<uchar>(y + 1);
    uchar* out = hits.ptr<uchar>(y);
    for (int x = 1; x < w - 1; ++x) {
      const int block = up[x - 1] + up[x] + up[x + 1] + mid[x - 1] + mid[x] + mid[x + 1] +
                        down[x - 1] + down[x] + down[x + 1];
      out[x] = block > 256;
    }
  }
  return hits;
}

}  // namespace

void boardLinesReset(BoardLines& lines, int32_t width, int32_t height) {
  lines.horizontalLines.clear();
  lines.verticalLines.clear();
  lines.width = width;
  lines.height = height;
  lines.verticalCount = 0;
  lines.horizontalCount = 0;
}

void boardLinesAdd(BoardLines& lines, float rho, float angle) {
  // Huge angles would never step into range (180 is below their precision).
  float t = std::fabs(angle) < 1e6f ? angle : std::fmod(angle, 180.0f);
  if (std::isfinite(t)) {
    while (t < 0) t += 180;
    while (t > 180) t -= 180;
  }
  const HoughLine line{angle, rho};
  if (t >= 45 && t <= 135)
    lines.horizontalLines.push_back(line);
  else
    lines.verticalLines.push_back(line);
}

void boardLinesFinish(BoardLines& lines) {
  const auto byRho = [](const HoughLine& a, const HoughLine& b) { return a.rho < b.rho; };
  std::stable_sort(lines.verticalLines.begin(), lines.verticalLines.end(), byRho);
  std::stable_sort(lines.horizontalLines.begin(), lines.horizontalLines.end(), byRho);
  lines.verticalCount = int32_t(lines.verticalLines.size());
  lines.horizontalCount = int32_t(lines.horizontalLines.size());
}

double boardMinLineVotes(int32_t width) { return double(width) * double(0.15f); }

void boardCollectLines(HoughAccumulator& acc, const cv::Mat& edges, double minVotes,
                       BoardLines& lines, std::vector<HoughPeak>* peaks) {
  houghInit(acc, edges.cols, edges.rows, kAngleBins, 1.0f);
  houghVoteImage(acc, edges.data, edges.step, edges.cols, edges.rows);
  boardLinesReset(lines, edges.cols, edges.rows);
  if (acc.voteCount > 0) {
    HoughRowPeaks rowPeaks;
    houghRowPeaksBuild(acc, rowPeaks);
    for (;;) {
      double rho = 0, angle = 0;
      const int32_t votes = houghExtractPeakWith(acc, rowPeaks, &rho, &angle);
      if (votes == 0) break;
      if (peaks) peaks->push_back({votes, rho, angle});
      if (votes < minVotes) break;
      boardLinesAdd(lines, float(rho), float(angle));
    }
  }
  boardLinesFinish(lines);
}

BoardPass boardPassDecide(int32_t verticalCount, int32_t horizontalCount, int& low, int& high) {
  if (verticalCount < 2 || horizontalCount < 2) return BoardPass::NoScreen;
  low = raised(low);
  high = raised(high);
  if (int64_t(verticalCount) * horizontalCount <= kMaxCandidateProduct) return BoardPass::Search;
  return high < 255 ? BoardPass::Retry : BoardPass::Search;
}

void boardSobel(const cv::Mat& grey, cv::Mat& dx, cv::Mat& dy) {
  // What cv::Canny computes inside for aperture 3.
  cv::Sobel(grey, dx, CV_16S, 1, 0, 3, 1, 0, cv::BORDER_REPLICATE);
  cv::Sobel(grey, dy, CV_16S, 0, 1, 3, 1, 0, cv::BORDER_REPLICATE);
}

void boardCanny(const cv::Mat& dx, const cv::Mat& dy, cv::Mat& edges, int low, int high) {
  cv::Canny(dx, dy, edges, double(low), double(high), false);
}

float boardDetect(const cv::Mat& grey, cv::Point2f corners[4], int low, int high) {
  BoardWorkspace work;
  return boardDetect(grey, corners, low, high, work);
}

float boardDetect(const cv::Mat& grey, cv::Point2f corners[4], int low, int high,
                  BoardWorkspace& work) {
  for (int i = 0; i < 4; ++i) corners[i] = cv::Point2f(0, 0);
  if (grey.empty() || grey.type() != CV_8UC1) return 0;

  // The thresholds change from pass to pass, the derivatives do not.
  boardSobel(grey, work.dx, work.dy);
  const double minVotes = boardMinLineVotes(grey.cols);
  for (;;) {
    boardCanny(work.dx, work.dy, work.edges, low, high);
    boardCollectLines(work.acc, work.edges, minVotes, work.lines);
    const BoardPass pass =
        boardPassDecide(work.lines.verticalCount, work.lines.horizontalCount, low, high);
    if (pass == BoardPass::NoScreen) return 0;
    if (pass == BoardPass::Search) break;
  }
  return boardFindQuadrilateral(work.lines, work.edges, grey.cols, grey.rows, corners);
}

bool boardCandidateAccepted(const cv::Point2f p[4], float s, float best, int32_t width) {
  const float top = p[1].x - p[0].x;
  const float r1 = p[2].y != p[1].y ? (p[1].x - p[0].x) / (p[2].y - p[1].y) : 0.0f;
  const float r2 = p[3].y != p[0].y ? (p[2].x - p[3].x) / (p[3].y - p[0].y) : 0.0f;
  const float minTop = float(width) * 0.3f;
  const float maxTop = float(width) * 0.8f;
  // Float constants, so a ratio of exactly 0.8 (rounded to float) fails the strict test.
  return top > minTop && top < maxTop && s > best && r1 > 0.8f && r1 < 2.0f && r2 > 0.8f &&
         r2 < 2.0f;
}

float boardFindQuadrilateral(const BoardLines& lines, const cv::Mat& edges, int32_t width,
                             int32_t height, cv::Point2f corners[4]) {
  const std::vector<HoughLine>& hor = lines.horizontalLines;
  const std::vector<HoughLine>& ver = lines.verticalLines;
  float best = 0;
  if (edges.empty() || edges.type() != CV_8UC1) return best;
  const int w = std::min<int>(width, edges.cols);
  const int h = std::min<int>(height, edges.rows);
  const cv::Mat hits = blockHitMap(edges, w, h);
  const auto hitAt = [&](int x, int y) { return hits.ptr<uchar>(y)[x] != 0; };

  // Crossing of vertical line b with horizontal line a; families are never parallel,
  // but a pair that is gets no corner rather than a stale one.
  const size_t nh = hor.size(), nv = ver.size();
  std::vector<cv::Point2f> cross(nv * nh);
  std::vector<char> crosses(nv * nh);
  for (size_t b = 0; b < nv; ++b)
    for (size_t a = 0; a < nh; ++a)
      crosses[b * nh + a] = intersectLines(ver[b], hor[a], &cross[b * nh + a]) == 0;
  const auto at = [&](size_t b, size_t a) { return cross[b * nh + a]; };
  const auto meets = [&](size_t b, size_t a) { return crosses[b * nh + a] != 0; };
  SideCache horSides(nh, nv), verSides(nv, nh);

  cv::Point2f q[4];
  for (size_t a1 = 0; a1 < nh; ++a1) {
    for (size_t b1 = 0; b1 < nv; ++b1) {
      if (!meets(b1, a1)) continue;
      q[0] = at(b1, a1);
      for (size_t b2 = b1 + 1; b2 < nv; ++b2) {
        if (!meets(b2, a1)) continue;
        q[1] = at(b2, a1);
        const float top =
            horSides.get(a1, b1, b2, [&] { return sideShare(q[0], q[1], w, h, hitAt); });
        for (size_t a2 = a1 + 1; a2 < nh; ++a2) {
          if (!meets(b2, a2) || !meets(b1, a2)) continue;
          q[2] = at(b2, a2);
          q[3] = at(b1, a2);
          // Same sum, in the same order, as quadEdgeSupport.
          float s = 0;
          s += top;
          s += verSides.get(b2, a1, a2, [&] { return sideShare(q[1], q[2], w, h, hitAt); });
          s += horSides.get(a2, b2, b1, [&] { return sideShare(q[2], q[3], w, h, hitAt); });
          s += verSides.get(b1, a2, a1, [&] { return sideShare(q[3], q[0], w, h, hitAt); });
          s /= 4.0f;
          if (boardCandidateAccepted(q, s, best, width)) {
            std::copy(q, q + 4, corners);
            best = s;
          }
        }
      }
    }
  }
  return best;
}

float quadEdgeSupport(const cv::Mat& edges, int32_t width, int32_t height,
                      const cv::Point2f* corners, int count) {
  if (count <= 0 || edges.empty() || edges.type() != CV_8UC1) return 0;
  // Never read outside the edge image, whatever size the caller claims.
  const int w = std::min<int>(width, edges.cols);
  const int h = std::min<int>(height, edges.rows);
  const auto hit = [&](int x, int y) {
    int block = 0;
    for (int yy = y - 1; yy <= y + 1; ++yy) {
      const uchar* row = edges.ptr<uchar>(yy);
      block += row[x - 1] + row[x] + row[x + 1];
    }
    return block > 256;
  };
  float sum = 0;
  for (int i = 0; i < count; ++i) sum += sideShare(corners[i], corners[(i + 1) % count], w, h, hit);
  return sum / 4.0f;
}

int intersectLines(const HoughLine& l1, const HoughLine& l2, cv::Point2f* point) {
  const double t1 = l1.angle * M_PI / 180.0, t2 = l2.angle * M_PI / 180.0;
  const double c1 = std::cos(t1), s1 = std::sin(t1), c2 = std::cos(t2), s2 = std::sin(t2);
  const double rho1 = l1.rho, rho2 = l2.rho;
  const bool v1 = isAxisVertical(l1.angle), h1 = isAxisHorizontal(l1.angle);
  const bool v2 = isAxisVertical(l2.angle), h2 = isAxisHorizontal(l2.angle);
  if ((v1 && v2) || (h1 && h2)) return -1;

  float x, y;
  if (h1 && v2) {
    x = float(rho2 / c2);
    y = float(rho1 / s1);
  } else if (v1 && h2) {
    x = float(rho1 / c1);
    y = float(rho2 / s2);
  } else if (v1 || v2) {
    // The axis line fixes x; the other line gives y at that stored x.
    const double rv = v1 ? rho1 : rho2, cv_ = v1 ? c1 : c2;
    const double ro = v1 ? rho2 : rho1, co = v1 ? c2 : c1, so = v1 ? s2 : s1;
    x = float(rv / cv_);
    y = float((ro - co * x) / so);
  } else if (h1 || h2) {
    const double rh = h1 ? rho1 : rho2, sh = h1 ? s1 : s2;
    const double ro = h1 ? rho2 : rho1, co = h1 ? c2 : c1, so = h1 ? s2 : s1;
    y = float(rh / sh);
    x = float((ro - so * y) / co);
  } else {
    const double d = c1 * s2 - c2 * s1;
    if (d == 0) return -1;
    y = float((rho2 * c1 - rho1 * c2) / d);
    x = float((rho1 - y * s1) / c1);
  }
  *point = cv::Point2f(x, y);
  return 0;
}

}  // namespace slidetrack
