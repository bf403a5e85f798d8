// The decision's cells: changed pixels counted per cell of the screen, and the cells whose
// new pixels are pen strokes.
#include <algorithm>
#include <vector>

#include <opencv2/imgproc.hpp>

#include "slides/ink_strokes.h"
#include "slides/robust_change.h"
#include "slides/shift_diff.h"

namespace slidetrack {

namespace {

// Work pixels along the screen's edges that take no part in the decision.
constexpr int kRim = 3;
// Changed cells per cell that waited, at the second look, of a slide that appeared only then.
constexpr int kFreshPerPending = 10;

}  // namespace

// Pixels of map (255) per cell, leaving out those set in exclude; cells more than half
// excluded get -1.
void RobustChangeDetector::countCells(const cv::Mat& map, const cv::Mat& exclude,
                                      Cells& cells) const {
  const int s = options_.slideCellSize;
  cells.cols = (map.cols + s - 1) / s;
  cells.rows = (map.rows + s - 1) / s;
  cells.counts.assign(size_t(cells.cols) * cells.rows, 0);
  std::vector<int> hidden(cells.counts.size(), 0), area(cells.counts.size(), 0);
  // The screen's rim shows its frame, which shakes across the edge of the warp.
  const int rim = kRim;
  const int inner0 = std::min(rim, map.cols), inner1 = std::max(inner0, map.cols - rim);
  for (int y = 0; y < map.rows; ++y) {
    const unsigned char* m = map.ptr<unsigned char>(y);
    const unsigned char* e = exclude.ptr<unsigned char>(y);
    const size_t row = size_t(y / s) * cells.cols;
    const bool rimRow = y < rim || y >= map.rows - rim;
    // A cell's stretch of the row at a time: no division per pixel, and no rim test either.
    for (int x0 = 0; x0 < map.cols; x0 += s) {
      const int x1 = std::min(map.cols, x0 + s);
      const size_t c = row + size_t(x0 / s);
      area[c] += x1 - x0;
      if (rimRow) {
        hidden[c] += x1 - x0;
        continue;
      }
      const int a = std::max(x0, inner0), b = std::min(x1, inner1);
      int hid = x1 - x0 - std::max(0, b - a), hit = 0;
      for (int x = a; x < b; ++x) {
        const int off = e[x] != 0;
        hid += off;
        hit += (m[x] != 0) & (off ^ 1);
      }
      hidden[c] += hid;
      cells.counts[c] += hit;
    }
  }
  for (size_t c = 0; c < cells.counts.size(); ++c)
    if (2 * hidden[c] > area[c]) cells.counts[c] = -1;
}

// Changed pixels in the flagged cells (all when flags is empty), apart from the outline
// of whoever stands in front.
void RobustChangeDetector::newPixels(const std::vector<unsigned char>& flags,
                                     cv::Mat& fresh) const {
  fresh = changed_.clone();
  if (!flags.empty()) {
    const int s = options_.slideCellSize;
    for (int y = 0; y < fresh.rows; ++y) {
      unsigned char* f = fresh.ptr<unsigned char>(y);
      const size_t row = size_t(y / s) * cells_.cols;
      for (int x = 0; x < fresh.cols; ++x)
        if (!flags[row + x / s]) f[x] = 0;
    }
  }
  cv::Mat near;
  cv::dilate(covered_, near, cv::getStructuringElement(cv::MORPH_RECT, cv::Size(7, 7)));
  fresh.setTo(0, near);
}

// The flagged cells whose new pixels are mostly pen strokes; ink gets their new pixels.
std::vector<unsigned char> RobustChangeDetector::inkCells(const cv::Mat& screenBgr,
                                                          const std::vector<unsigned char>& flags,
                                                          cv::Mat& ink) const {
  cv::Mat strokes;
  newPixels(flags, ink);
  inkStrokes(screenBgr, ink, strokes);
  Cells all, thin;
  countCells(ink, covered_, all);
  countCells(strokes, covered_, thin);
  std::vector<unsigned char> inky(flags.size(), 0);
  for (size_t c = 0; c < inky.size(); ++c)
    inky[c] = flags[c] && all.counts[c] > 0 && 2 * thin.counts[c] >= all.counts[c];
  newPixels(inky, ink);
  return inky;
}

bool RobustChangeDetector::unchangedSince(const cv::Mat& earlier) const {
  if (earlier.size() != previous_.size() || earlier.type() != previous_.type() ||
      covered_.size() != previous_.size())
    return false;
  cv::Mat differs;
  shiftTolerantChange(previous_, earlier, options_.slideChangeThresh, differs);
  Cells cells;
  countCells(differs, covered_, cells);
  int pixels = 0;
  for (int count : cells.counts) pixels += std::max(0, count);
  return pixels < cellPixels();
}

bool RobustChangeDetector::freshBeyondPending() {
  Cells now;
  countCells(changed_, covered_, now);
  int fresh = 0, waited = 0;
  for (size_t c = 0; c < pending_.size(); ++c) {
    waited += pending_[c];
    fresh += !pending_[c] && now.counts[c] >= cellPixels();
  }
  // A new slide's own second look adds what the speaker uncovered since, a part of it; a stir
  // that a slide appearing just then confirmed is dwarfed by that slide.
  if (fresh < options_.slideChangeCells || fresh < kFreshPerPending * waited) return false;
  cells_ = now;
  return true;
}

}  // namespace slidetrack
