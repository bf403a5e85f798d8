#pragma once
// Finds the projected screen's quadrilateral in one grey frame.

#include <cstdint>
#include <vector>

#include <opencv2/core.hpp>

#include "screen/hough_accumulator.h"

namespace slidetrack {

// Returns the edge support in [0, 1] of the quadrilateral found (corners TL, TR, BR, BL),
// or 0 with four zero corners when none was found.
float boardDetect(const cv::Mat& grey, cv::Point2f corners[4], int low, int high);

// x * cos(angle) + y * sin(angle) = rho, angle of the normal in degrees.
struct HoughLine {
  float angle;
  float rho;
};

struct BoardLines {
  std::vector<HoughLine> horizontalLines;  // normal within [45, 135] degrees
  std::vector<HoughLine> verticalLines;    // all others
  int32_t width = 0;
  int32_t height = 0;
  int32_t verticalCount = 0;  // set by boardLinesFinish
  int32_t horizontalCount = 0;
};

void boardLinesReset(BoardLines& lines, int32_t width, int32_t height);
void boardLinesAdd(BoardLines& lines, float rho, float angle);
// Stable sort of both families by rho; sets the counts.
void boardLinesFinish(BoardLines& lines);

// One extracted Hough peak, as reported to an optional observer.
struct HoughPeak {
  int32_t votes;
  double rho;
  double angle;
};

// A line needs at least this many votes in a frame of that width (0.15f times the width,
// unrounded: 640 needs 97).
double boardMinLineVotes(int32_t width);
// Votes every edge pixel and takes lines out until a peak has fewer than minVotes. Every
// peak taken out (the stopping one included) is appended to peaks when given.
void boardCollectLines(HoughAccumulator& acc, const cv::Mat& edges, double minVotes,
                       BoardLines& lines, std::vector<HoughPeak>* peaks = nullptr);

enum class BoardPass {
  NoScreen,  // too few lines: give up without a retry
  Search,    // search the quadrilateral with these lines
  Retry,     // too many lines: run again with the raised thresholds
};
// Decides after one edge pass; raises both thresholds by 20 unless there is no screen.
BoardPass boardPassDecide(int32_t verticalCount, int32_t horizontalCount, int& low, int& high);

// Working memory of boardDetect, kept by a caller that detects in many frames of one size
// so that no pass or frame allocates it anew. Holds nothing between calls that matters.
struct BoardWorkspace {
  cv::Mat dx, dy;  // Sobel derivatives of the grey frame, shared by all edge passes
  cv::Mat edges;
  HoughAccumulator acc;
  BoardLines lines;
};
// boardDetect with the caller's working memory; the same result.
float boardDetect(const cv::Mat& grey, cv::Point2f corners[4], int low, int high,
                  BoardWorkspace& work);
// The Canny edges of grey with a Sobel aperture of 3, from its derivatives: computed once,
// they serve every pass; the edges equal cv::Canny on the grey frame.
void boardSobel(const cv::Mat& grey, cv::Mat& dx, cv::Mat& dy);
void boardCanny(const cv::Mat& dx, const cv::Mat& dy, cv::Mat& edges, int low, int high);

// Best support over all candidates from two lines of each family; 0 when none passed.
float boardFindQuadrilateral(const BoardLines& lines, const cv::Mat& edges, int32_t width,
                             int32_t height, cv::Point2f corners[4]);
// Size and aspect tests of one candidate of support s against the best so far.
bool boardCandidateAccepted(const cv::Point2f candidate[4], float s, float best, int32_t width);
// Mean share of each side's pixels with edges nearby.
float quadEdgeSupport(const cv::Mat& edges, int32_t width, int32_t height,
                      const cv::Point2f* corners, int count);
// 0 and the crossing point, or -1 for parallel lines (point untouched).
int intersectLines(const HoughLine& l1, const HoughLine& l2, cv::Point2f* point);

// Visits the pixels of the side from a to b, starting at b; a itself is never visited.
template <class Visit>
void boardWalkSide(cv::Point a, cv::Point b, Visit&& visit) {
  const int sx = a.x < b.x ? -1 : 1;
  const int sy = a.y < b.y ? -1 : 1;
  const int dx = a.x < b.x ? b.x - a.x : a.x - b.x;
  const int dy = a.y < b.y ? b.y - a.y : a.y - b.y;
  int x = b.x, y = b.y, e1 = 0, e2 = 0;
  if (dx > dy) {
    while (x != a.x) {
      visit(x, y);
      if (e1 > e2) {
        e2 += dx - e1;
        e1 = 0;
        y += sy;
      }
      e1 += dy;
      x += sx;
    }
  } else if (dx < dy) {
    while (y != a.y) {
      visit(x, y);
      if (e1 > e2) {
        e2 += dy - e1;
        e1 = 0;
        x += sx;
      }
      e1 += dx;
      y += sy;
    }
  } else {
    while (x != a.x) {
      visit(x, y);
      y += sy;
      x += sx;
    }
  }
}

}  // namespace slidetrack
