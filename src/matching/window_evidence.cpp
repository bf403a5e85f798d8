#include "matching/window_evidence.h"

#include <immintrin.h>

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "features/gradient_pyramid.h"

namespace slidetrack {

namespace {

// Calls visit(row, level, x, y) for every window the extractor computes, at level pixels.
template <typename Visit>
int forEachWindow(const GradDistExtractor& extractor, int height, int width, Visit visit) {
  int rows = 0, cols = 0;
  double step = 0;
  const int count = zorGllfGradDistGetSize(&extractor, height, width, -1, &rows, &cols, &step);
  const int size = extractor.windowSize;
  int row = 0;
  for (int level = 0; level < extractor.levelCount; ++level) {
    const int levelRows = rows >> level, levelCols = cols >> level;
    const int h = height >> level, w = width >> level;
    for (int ry = 0; ry < levelRows; ++ry) {
      for (int cx = 0; cx < levelCols; ++cx, ++row) {
        const int x = static_cast<int>(std::floor(cx * step));
        const int y = static_cast<int>(std::floor(ry * step));
        // The extractor's own rule: a window touching the far border stays zero.
        if (x + size < w && y + size < h && row < count) visit(row, level, x, y);
      }
    }
  }
  return count;
}

// The covered pixels (above 127) of mask above and left of every corner (ys[i], xs[j]), as
// cv::integral gives them, in sums[i * xs.size() + j]; ys and xs sorted. Counts run down
// each column and are summed across only at the corner rows: a whole integral image of the
// mask cost more than the rest of the evidence. Count: 16 bits for a mask of up to 65535
// rows, which lets the counting take 16 columns a step.
// One mask row's covered pixels (above 127) added to the 16-bit column counts: many columns a
// step, twice as many where the processor has the wider vectors.
__attribute__((target_clones("avx2", "default"))) void addCoveredRow(const uint8_t* __restrict m,
                                                                     std::uint16_t* __restrict d,
                                                                     int width) {
  for (int c = 0; c < width; ++c) d[c] = static_cast<std::uint16_t>(d[c] + (m[c] >> 7));
}
void addCoveredRow(const uint8_t* m, int* d, int width) {
  for (int c = 0; c < width; ++c) d[c] += m[c] >> 7;
}

template <typename Count>
void cornerSums(const cv::Mat& mask, const std::vector<int>& ys, const std::vector<int>& xs,
                std::vector<int>& sums) {
  const size_t nx = xs.size();
  sums.assign(ys.size() * nx, 0);
  if (nx == 0) return;
  const int width = xs.back();
  thread_local std::vector<Count> down;  // per column, over the rows passed
  down.assign(width, 0);
  size_t i = 0;
  for (int y = 0; i < ys.size(); ++y) {
    if (ys[i] == y) {
      int* row = &sums[i * nx];
      int across = 0, c = 0;
      for (size_t j = 0; j < nx; ++j) {
        for (; c < xs[j]; ++c) across += down[c];
        row[j] = across;
      }
      for (++i; i < ys.size() && ys[i] == y; ++i) std::copy(row, row + nx, &sums[i * nx]);
      if (i == ys.size()) break;
    }
    addCoveredRow(mask.ptr<uint8_t>(y), down.data(), width);
  }
}

bool gathers() {
  static const bool available = __builtin_cpu_supports("avx2");
  return available;
}

// The weighted sums along the bell of eight rows starting at m, rowStep floats apart: each
// lane adds the same products in the same order as one row alone (no fused multiply-add).
// Eight columns of the eight rows are loaded and turned so that each vector holds one
// column: plain loads cost less than gathering every column. Reads up to 8 floats per row
// past the last column the bell covers rounded up to 8; wide tells that they exist.
__attribute__((target("avx2"))) void alongEightRows(const float* m, int rowStep,
                                                    const float* profile, int size, bool wide,
                                                    float* out) {
  __m256 along = _mm256_setzero_ps();
  int c = 0;
  for (; wide && c < size; c += 8) {
    __m256 r[8];
    for (int k = 0; k < 8; ++k) r[k] = _mm256_loadu_ps(m + static_cast<size_t>(k) * rowStep + c);
    // 8 x 8 transpose: t[i] holds column c + i of rows 0 to 7.
    const __m256 a0 = _mm256_unpacklo_ps(r[0], r[1]), a1 = _mm256_unpackhi_ps(r[0], r[1]);
    const __m256 a2 = _mm256_unpacklo_ps(r[2], r[3]), a3 = _mm256_unpackhi_ps(r[2], r[3]);
    const __m256 a4 = _mm256_unpacklo_ps(r[4], r[5]), a5 = _mm256_unpackhi_ps(r[4], r[5]);
    const __m256 a6 = _mm256_unpacklo_ps(r[6], r[7]), a7 = _mm256_unpackhi_ps(r[6], r[7]);
    const __m256 b0 = _mm256_shuffle_ps(a0, a2, 0x44), b1 = _mm256_shuffle_ps(a0, a2, 0xEE);
    const __m256 b2 = _mm256_shuffle_ps(a1, a3, 0x44), b3 = _mm256_shuffle_ps(a1, a3, 0xEE);
    const __m256 b4 = _mm256_shuffle_ps(a4, a6, 0x44), b5 = _mm256_shuffle_ps(a4, a6, 0xEE);
    const __m256 b6 = _mm256_shuffle_ps(a5, a7, 0x44), b7 = _mm256_shuffle_ps(a5, a7, 0xEE);
    const __m256 t[8] = {
        _mm256_permute2f128_ps(b0, b4, 0x20), _mm256_permute2f128_ps(b1, b5, 0x20),
        _mm256_permute2f128_ps(b2, b6, 0x20), _mm256_permute2f128_ps(b3, b7, 0x20),
        _mm256_permute2f128_ps(b0, b4, 0x31), _mm256_permute2f128_ps(b1, b5, 0x31),
        _mm256_permute2f128_ps(b2, b6, 0x31), _mm256_permute2f128_ps(b3, b7, 0x31)};
    for (int i = 0; i < 8 && c + i < size; ++i)
      along = _mm256_add_ps(along, _mm256_mul_ps(_mm256_set1_ps(profile[c + i]), t[i]));
  }
  if (c < size) {
    const __m256i rows =
        _mm256_mullo_epi32(_mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7), _mm256_set1_epi32(rowStep));
    for (; c < size; ++c)
      along = _mm256_add_ps(
          along, _mm256_mul_ps(_mm256_set1_ps(profile[c]), _mm256_i32gather_ps(m + c, rows, 4)));
  }
  _mm256_storeu_ps(out, along);
}

}  // namespace

void windowStrengths(const GradDistExtractor& extractor, int height, int width,
                     std::vector<float>& strengths) {
  strengths.assign(std::max(0, zorGllfGradDistGetSize(&extractor, height, width, -1)), 0.f);
  if (!extractor.pyramid || !extractor.weight) return;
  const std::vector<float>& profile = extractor.weight->profile;
  const int size = static_cast<int>(profile.size());
  double total = 0;
  for (float p : profile) total += p;
  if (size != extractor.windowSize || !(total > 0)) return;
  const float norm = static_cast<float>(1.0 / (total * total));
  // A window's weighted sum along one of its rows is the same for the windows above and
  // below that share the row: each is summed once, in the order a window alone sums it.
  thread_local std::vector<float> across;
  thread_local std::vector<uint8_t> summed;
  thread_local std::vector<size_t> levelStart;
  levelStart.assign(1, 0);
  for (int level = 0; level < extractor.levelCount; ++level)
    levelStart.push_back(levelStart.back() + extractor.pyramid->levels[level][kMagnitude].total());
  across.resize(levelStart.back());
  summed.assign(levelStart.back(), 0);
  const bool eightRows = gathers();
  const int wideSize = (size + 7) / 8 * 8;
  forEachWindow(extractor, height, width, [&](int row, int level, int x, int y) {
    const cv::Mat& magnitude = extractor.pyramid->levels[level][kMagnitude];
    const int rowStep = static_cast<int>(magnitude.step1());
    for (int r = 0; r < size;) {
      const size_t at = levelStart[level] + static_cast<size_t>(y + r) * magnitude.cols + x;
      if (summed[at]) {
        ++r;
        continue;
      }
      const float* m = magnitude.ptr<float>(y + r) + x;
      // Rows past the window but inside the level are summed ahead for the windows below.
      if (eightRows && y + r + 8 <= magnitude.rows) {
        float along[8];
        alongEightRows(m, rowStep, profile.data(), size, x + wideSize <= magnitude.cols, along);
        for (int k = 0; k < 8; ++k) {
          across[at + static_cast<size_t>(k) * magnitude.cols] = along[k];
          summed[at + static_cast<size_t>(k) * magnitude.cols] = 1;
        }
        r += 8;
        continue;
      }
      float along = 0;
      for (int c = 0; c < size; ++c) along += profile[c] * m[c];
      across[at] = along;
      summed[at] = 1;
      ++r;
    }
    double sum = 0;
    for (int r = 0; r < size; ++r)
      sum +=
          profile[r] * across[levelStart[level] + static_cast<size_t>(y + r) * magnitude.cols + x];
    strengths[row] = static_cast<float>(sum) * norm;
  });
}

void windowsCovered(const GradDistExtractor& extractor, int height, int width, const cv::Mat& mask,
                    std::vector<uint8_t>& covered) {
  covered.assign(std::max(0, zorGllfGradDistGetSize(&extractor, height, width, -1)), 0);
  if (mask.empty() || mask.type() != CV_8UC1) return;
  const double sx = static_cast<double>(mask.cols) / width;
  const double sy = static_cast<double>(mask.rows) / height;
  const int size = extractor.windowSize;
  struct Part {
    int row, x0, y0, x1, y1;
  };
  thread_local std::vector<Part> parts;
  thread_local std::vector<int> xs, ys, xPlace, yPlace, sums;
  parts.clear();
  xPlace.assign(mask.cols + 1, -1);
  yPlace.assign(mask.rows + 1, -1);
  forEachWindow(extractor, height, width, [&](int row, int level, int x, int y) {
    // The middle half of the window, in feature pixels, then in mask pixels.
    const double scale = 1 << level;
    const double left = (x + size * 0.25) * scale, top = (y + size * 0.25) * scale;
    const double side = size * 0.5 * scale;
    const int x0 = std::clamp(static_cast<int>(left * sx), 0, mask.cols - 1);
    const int y0 = std::clamp(static_cast<int>(top * sy), 0, mask.rows - 1);
    const int x1 = std::clamp(static_cast<int>(std::ceil((left + side) * sx)), x0 + 1, mask.cols);
    const int y1 = std::clamp(static_cast<int>(std::ceil((top + side) * sy)), y0 + 1, mask.rows);
    parts.push_back({row, x0, y0, x1, y1});
    xPlace[x0] = xPlace[x1] = yPlace[y0] = yPlace[y1] = 0;
  });
  // The corners in order, and each one's place among them.
  for (auto [place, corners] : {std::pair{&xPlace, &xs}, std::pair{&yPlace, &ys}}) {
    corners->clear();
    for (int v = 0; v < static_cast<int>(place->size()); ++v) {
      if ((*place)[v] < 0) continue;
      (*place)[v] = static_cast<int>(corners->size());
      corners->push_back(v);
    }
  }
  if (mask.rows <= 65535)
    cornerSums<std::uint16_t>(mask, ys, xs, sums);
  else
    cornerSums<int>(mask, ys, xs, sums);
  const auto at = [&](int y, int x) { return sums[yPlace[y] * xs.size() + xPlace[x]]; };
  for (const Part& p : parts) {
    const int inside = at(p.y1, p.x1) - at(p.y0, p.x1) - at(p.y1, p.x0) + at(p.y0, p.x0);
    covered[p.row] = 3 * inside >= (p.x1 - p.x0) * (p.y1 - p.y0) ? 1 : 0;
  }
}

}  // namespace slidetrack
