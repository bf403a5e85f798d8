#include "hough_accumulator.h"

#include <algorithm>
#include <cmath>

void houghInit(HoughAccumulator& acc, int32_t width, int32_t height, int32_t angleCount,
               float rhoResolution) {
  // 64-bit sum only guards against overflow; real frame sizes give the same value.
  const int64_t squares = int64_t(width) * width + int64_t(height) * height;
  const float diagonal = float(int32_t(std::sqrt(float(squares))));
  const int32_t rhoBins = int32_t(diagonal * rhoResolution * 2.0f);
  acc.rhoWindow = int32_t(float(rhoBins) * 0.07f);
  acc.angleWindow = int32_t(float(angleCount) * 0.05f);
  acc.rhoResolution = rhoResolution;
  const int32_t angleBins = std::max(0, int32_t(float(angleCount) * rhoResolution));
  const size_t cells = size_t(std::max(0, rhoBins)) * size_t(angleBins);

  if (acc.sinTable.size() != size_t(angleBins)) {
    acc.sinTable.resize(angleBins);
    acc.cosTable.resize(angleBins);
    for (int32_t a = 0; a < angleBins; ++a) {
      const double theta = a * M_PI / angleBins;
      acc.sinTable[a] = float(std::sin(theta));
      acc.cosTable[a] = float(std::cos(theta));
    }
  }
  acc.rhoBins = std::max(0, rhoBins);
  acc.angleBins = angleBins;
  acc.voteCount = 0;
  // assign keeps the block when the size is unchanged.
  acc.votes.assign(cells, 0);
}

void houghVote(HoughAccumulator& acc, int32_t x, int32_t y) {
  acc.voteCount += 1;
  const float fx = float(x), fy = float(y);
  const float res = acc.rhoResolution;
  const float half = float(acc.rhoBins / 2);
  const uint32_t rhoBins = uint32_t(acc.rhoBins);
  const float* cosTable = acc.cosTable.data();
  const float* sinTable = acc.sinTable.data();
  int32_t* row = acc.votes.data();
  for (int32_t a = 0; a < acc.angleBins; ++a, row += rhoBins) {
    const float r = (fx * cosTable[a] + fy * sinTable[a]) * res + half;
    // Half away from zero; the 0.5 is added exactly.
    const int32_t bin = r >= 0.0f ? int32_t(double(r) + 0.5) : int32_t(double(r) - 0.5);
    if (uint32_t(bin) < rhoBins) row[bin] += 1;
  }
}

int32_t houghFindMax(const HoughAccumulator& acc, int32_t* rhoBin, int32_t* angleBin) {
  int32_t best = 1;
  const int32_t* cell = acc.votes.data();
  for (int32_t a = 0; a < acc.angleBins; ++a) {
    for (int32_t r = 0; r < acc.rhoBins; ++r, ++cell) {
      if (*cell > best) {
        best = *cell;
        if (rhoBin) *rhoBin = r;
        if (angleBin) *angleBin = a;
      }
    }
  }
  return best;
}

int32_t houghBinAt(const HoughAccumulator& acc, int32_t rhoBin, int32_t angleBin) {
  if (rhoBin < 0 || rhoBin >= acc.rhoBins || angleBin < 0 || angleBin >= acc.angleBins) return -1;
  return acc.votes[size_t(angleBin) * acc.rhoBins + rhoBin];
}

int32_t houghExtractPeak(HoughAccumulator& acc, double* rho, double* angle) {
  int32_t r = 0, a = 0;
  if (houghFindMax(acc, &r, &a) <= 1) return 0;
  const int32_t v = houghBinAt(acc, r, a);

  // A window of half-width 0 (tiny frames) still clears the peak's own bin, so the
  // extraction always ends. The window does not wrap at 180 degrees.
  const int32_t rLo = std::max(0, r - acc.rhoWindow);
  const int32_t rHi = std::min(acc.rhoBins, r + std::max(acc.rhoWindow, 1));
  const int32_t aLo = std::max(0, a - acc.angleWindow);
  const int32_t aHi = std::min(acc.angleBins, a + std::max(acc.angleWindow, 1));
  for (int32_t ai = aLo; ai < aHi; ++ai) {
    int32_t* row = acc.votes.data() + size_t(ai) * acc.rhoBins;
    std::fill(row + rLo, row + rHi, 0);
  }

  if (rho) *rho = r - acc.rhoBins / 2.0;
  if (angle) *angle = a * 180.0 / acc.angleBins;
  return v;
}
