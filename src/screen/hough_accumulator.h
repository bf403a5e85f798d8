#pragma once
// Straight-line Hough vote over edge pixels: normal angle bins x signed distance bins.

#include <cstdint>
#include <vector>

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
// The largest count if above 1 (first in angle-major order), with its bins; else 1.
int32_t houghFindMax(const HoughAccumulator& acc, int32_t* rhoBin, int32_t* angleBin);
// The count of (rho bin, angle bin), or -1 outside the table.
int32_t houghBinAt(const HoughAccumulator& acc, int32_t rhoBin, int32_t angleBin);
// Takes the strongest remaining line out and clears its neighbourhood. Returns its vote
// count with rho (pixels) and angle (degrees), or 0 when no peak is left.
int32_t houghExtractPeak(HoughAccumulator& acc, double* rho, double* angle);
