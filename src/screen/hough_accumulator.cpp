#include "screen/hough_accumulator.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>

namespace slidetrack {
#endif

namespace {

// Pixels voted together: their coordinates and bins stay in the first-level cache with the
// one table row they vote into.
constexpr int32_t kPixelChunk = 2048;
// Rho values are clamped to this before truncation to int32.
constexpr float kFarRho = 1073741824.0f;

// The rho bin of a rho value r, rounded half away from zero. r is clamped first, since a
// float's truncation to int32 is undefined beyond its range; such votes leave the table
// anyway. The fraction r - trunc(r) is exact, so this equals trunc(r +- 0.5) in reals, the
// rounding of the double r +- 0.5 that the formula asks for.
inline int32_t rhoBinOf(float r) {
  r = r < -kFarRho ? -kFarRho : (r > kFarRho ? kFarRho : r);
  const int32_t whole = int32_t(r);
  const float fraction = r - float(whole);
  return whole + int32_t(fraction >= 0.5f) - int32_t(fraction <= -0.5f);
}

// Rho bins of n pixels for one angle. The vector lanes do the same float32 multiplies and
// adds in the same order as the scalar formula (x * cos + y * sin) * res + half, so the
// bins are identical. No fused multiply-add: the project builds for baseline x86-64.
void rhoBinsOf(const float* xs, const float* ys, int32_t n, float c, float s, float res, float half,
               int32_t* bins) {
  int32_t i = 0;
#ifdef __SSE2__
  const __m128 c4 = _mm_set1_ps(c), s4 = _mm_set1_ps(s);
  const __m128 res4 = _mm_set1_ps(res), half4 = _mm_set1_ps(half);
  const __m128 up4 = _mm_set1_ps(0.5f), down4 = _mm_set1_ps(-0.5f);
  for (; i + 4 <= n; i += 4) {
    const __m128 sum =
        _mm_add_ps(_mm_mul_ps(_mm_loadu_ps(xs + i), c4), _mm_mul_ps(_mm_loadu_ps(ys + i), s4));
    const __m128 r = _mm_add_ps(_mm_mul_ps(sum, res4), half4);
    // Beyond the int32 range the truncation gives INT32_MIN, and the bin stays far outside
    // the table after the +-1 below (wrapping to INT32_MAX at worst): no clamp needed.
    const __m128i whole = _mm_cvttps_epi32(r);
    const __m128 fraction = _mm_sub_ps(r, _mm_cvtepi32_ps(whole));
    // Comparison masks are -1 where true.
    const __m128i up = _mm_castps_si128(_mm_cmpge_ps(fraction, up4));
    const __m128i down = _mm_castps_si128(_mm_cmple_ps(fraction, down4));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(bins + i),
                     _mm_add_epi32(_mm_sub_epi32(whole, up), down));
  }
#endif
  for (; i < n; ++i) bins[i] = rhoBinOf((xs[i] * c + ys[i] * s) * res + half);
}

// Votes n pixels into every angle bin, one angle after the other, so that all increments
// of an angle go to one table row while it is in the cache. bins has room for n.
void votePixels(HoughAccumulator& acc, const float* xs, const float* ys, int32_t n, int32_t* bins) {
  const uint32_t rhoBins = uint32_t(acc.rhoBins);
  const float half = float(acc.rhoBins / 2);
  int32_t* row = acc.votes.data();
  for (int32_t a = 0; a < acc.angleBins; ++a, row += rhoBins) {
    rhoBinsOf(xs, ys, n, acc.cosTable[a], acc.sinTable[a], acc.rhoResolution, half, bins);
    // Neighbouring pixels often share a bin; taking the pixels from four places of the
    // list in turn keeps the increments of one bin apart, so they do not wait on each other.
    const int32_t quarter = n / 4;
    for (int32_t i = 0; i < quarter; ++i) {
      for (int32_t k = 0; k < 4; ++k) {
        const int32_t bin = bins[i + k * quarter];
        if (uint32_t(bin) < rhoBins) row[bin] += 1;
      }
    }
    for (int32_t i = 4 * quarter; i < n; ++i)
      if (uint32_t(bins[i]) < rhoBins) row[bins[i]] += 1;
  }
}

// Largest value of a row, in one pass that vectorises.
int32_t rowMaximum(const int32_t* cells, int32_t n) {
  int32_t best = INT32_MIN;
  for (int32_t r = 0; r < n; ++r) best = std::max(best, cells[r]);
  return best;
}

// The area cleared around a peak: rho bins [rLo, rHi), angle bins [aLo, aHi).
struct Window {
  int32_t rLo, rHi, aLo, aHi;
};

Window clearAround(HoughAccumulator& acc, int32_t r, int32_t a) {
  // A window of half-width 0 (tiny frames) still clears the peak's own bin, so the
  // extraction always ends. The window does not wrap at 180 degrees.
  const Window w{
      std::max(0, r - acc.rhoWindow), std::min(acc.rhoBins, r + std::max(acc.rhoWindow, 1)),
      std::max(0, a - acc.angleWindow), std::min(acc.angleBins, a + std::max(acc.angleWindow, 1))};
  for (int32_t ai = w.aLo; ai < w.aHi; ++ai) {
    int32_t* row = acc.votes.data() + size_t(ai) * acc.rhoBins;
    std::fill(row + w.rLo, row + w.rHi, 0);
  }
  return w;
}

void reportPeak(const HoughAccumulator& acc, int32_t r, int32_t a, double* rho, double* angle) {
  if (rho) *rho = r - acc.rhoBins / 2.0;
  if (angle) *angle = a * 180.0 / acc.angleBins;
}

// The largest count of angle row a and the rho bin where it first occurs.
void rowPeak(const HoughAccumulator& acc, int32_t a, HoughRowPeaks& peaks) {
  if (acc.rhoBins <= 0) return;
  const int32_t* cells = acc.votes.data() + size_t(a) * acc.rhoBins;
  const int32_t top = rowMaximum(cells, acc.rhoBins);
  peaks.count[a] = top;
  peaks.rhoBin[a] = int32_t(std::find(cells, cells + acc.rhoBins, top) - cells);
}

}  // namespace

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
  int32_t bin = 0;
  votePixels(acc, &fx, &fy, 1, &bin);
}

void houghVoteImage(HoughAccumulator& acc, const uint8_t* pixels, size_t step, int32_t width,
                    int32_t height) {
  if (!pixels || width <= 0 || height <= 0) return;
  std::vector<float> xs(kPixelChunk), ys(kPixelChunk);
  std::vector<int32_t> bins(kPixelChunk);
  int32_t n = 0;
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* row = pixels + size_t(y) * step;
    for (int32_t x = 0; x < width; ++x) {
      // Edge images are mostly zero: skip eight zero bytes at a time.
      if (x + 8 <= width) {
        uint64_t eight;
        std::memcpy(&eight, row + x, 8);
        if (!eight) {
          x += 7;
          continue;
        }
      }
      if (!row[x]) continue;
      xs[n] = float(x);
      ys[n] = float(y);
      if (++n == kPixelChunk) {
        votePixels(acc, xs.data(), ys.data(), n, bins.data());
        n = 0;
      }
      acc.voteCount += 1;
    }
  }
  if (n > 0) votePixels(acc, xs.data(), ys.data(), n, bins.data());
}

int32_t houghFindMax(const HoughAccumulator& acc, int32_t* rhoBin, int32_t* angleBin) {
  // Row by row: the first occurrence of a row's maximum is the row's first count that beats
  // all before it, so only rows whose maximum beats the best so far are searched for it.
  int32_t best = 1;
  if (acc.rhoBins <= 0) return best;
  const int32_t* cells = acc.votes.data();
  for (int32_t a = 0; a < acc.angleBins; ++a, cells += acc.rhoBins) {
    const int32_t top = rowMaximum(cells, acc.rhoBins);
    if (top <= best) continue;
    best = top;
    if (rhoBin) *rhoBin = int32_t(std::find(cells, cells + acc.rhoBins, top) - cells);
    if (angleBin) *angleBin = a;
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
  clearAround(acc, r, a);
  reportPeak(acc, r, a, rho, angle);
  return v;
}

void houghRowPeaksBuild(const HoughAccumulator& acc, HoughRowPeaks& peaks) {
  peaks.count.assign(size_t(acc.angleBins), 0);
  peaks.rhoBin.assign(size_t(acc.angleBins), 0);
  for (int32_t a = 0; a < acc.angleBins; ++a) rowPeak(acc, a, peaks);
}

int32_t houghExtractPeakWith(HoughAccumulator& acc, HoughRowPeaks& peaks, double* rho,
                             double* angle) {
  if (peaks.count.size() != size_t(acc.angleBins)) houghRowPeaksBuild(acc, peaks);
  // The first row holding the largest count holds the table's first largest count.
  int32_t best = 1, a = -1;
  for (int32_t ai = 0; ai < acc.angleBins; ++ai) {
    if (peaks.count[ai] > best) {
      best = peaks.count[ai];
      a = ai;
    }
  }
  if (a < 0) return 0;
  const int32_t r = peaks.rhoBin[a];
  const Window window = clearAround(acc, r, a);
  // Clearing only lowers counts: a row whose first largest count lies outside the window
  // keeps it; the others are searched again.
  for (int32_t ai = window.aLo; ai < window.aHi; ++ai) {
    if (peaks.rhoBin[ai] >= window.rLo && peaks.rhoBin[ai] < window.rHi) rowPeak(acc, ai, peaks);
  }
  reportPeak(acc, r, a, rho, angle);
  return best;
}

}  // namespace slidetrack
