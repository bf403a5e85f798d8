#pragma once
// Straight-line Hough vote over edge pixels: normal angle bins x signed distance bins.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace slidetrack {

struct HoughAccumulator {
  std::vector<float> sinTable;  // sin(a * pi / angleBins)
  std::vector<float> cosTable;  // cos(a * pi / angleBins)
  float rhoResolution = 0.0f;   // rho bins per pixel
  int32_t rhoBins = 0;
  int32_t angleBins = 0;
  int32_t voteCount = 0;       // pixels that voted since the last houghInit
  std::vector<int32_t> votes;  // angle-major: entry a * rhoBins + r
  int32_t rhoWindow = 0;       // half-widths of the area cleared around a peak
  int32_t angleWindow = 0;
};

// Sizes the tables for the frame (reusing them when the sizes match) and clears all votes.
void houghInit(HoughAccumulator& acc, int32_t width, int32_t height, int32_t angleBins,
               float rhoResolution);
// One vote per angle bin for the line through the edge pixel (x, y).
void houghVote(HoughAccumulator& acc, int32_t x, int32_t y);
// houghVote for every non-zero byte of a width x height 8-bit image whose rows lie `step`
// bytes apart; the same counts as voting the pixels one by one.
void houghVoteImage(HoughAccumulator& acc, const uint8_t* pixels, size_t step, int32_t width,
                    int32_t height);
// The largest count if above 1 (first in angle-major order), with its bins; else 1.
int32_t houghFindMax(const HoughAccumulator& acc, int32_t* rhoBin, int32_t* angleBin);
// The count of (rho bin, angle bin), or -1 outside the table.
int32_t houghBinAt(const HoughAccumulator& acc, int32_t rhoBin, int32_t angleBin);
// Takes the strongest remaining line out and clears its neighbourhood. Returns its vote
// count with rho (pixels) and angle (degrees), or 0 when no peak is left.
int32_t houghExtractPeak(HoughAccumulator& acc, double* rho, double* angle);

// The largest count of every angle row with the rho bin of its first occurrence, so that a
// run of extractions searches again only the rows that each cleared window touched.
struct HoughRowPeaks {
  std::vector<int32_t> count;
  std::vector<int32_t> rhoBin;
};
// Takes the row peaks from the table as it stands.
void houghRowPeaksBuild(const HoughAccumulator& acc, HoughRowPeaks& peaks);
// houghExtractPeak by way of the row peaks, which it keeps up to date: the same peaks in the
// same order, as long as the table changes only through these calls after the build (row
// peaks of another angle count are built first).
int32_t houghExtractPeakWith(HoughAccumulator& acc, HoughRowPeaks& peaks, double* rho,
                             double* angle);

}  // namespace slidetrack
