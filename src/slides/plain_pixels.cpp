#include "slides/plain_pixels.h"

#include <immintrin.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include <opencv2/imgproc.hpp>

namespace slidetrack {

namespace {

constexpr int kRadius = 3;
constexpr int kArea = (2 * kRadius + 1) * (2 * kRadius + 1);
constexpr std::int32_t kMostSquares = kArea * 255 * 255;

// The float way: cv::blur of the image and of its square, variance, threshold.
void plainByLibrary(const cv::Mat& grey, double deviation, cv::Mat& plain) {
  cv::Mat f, square, mean, meanSq;
  grey.convertTo(f, CV_32F);
  cv::multiply(f, f, square);
  cv::blur(f, mean, cv::Size(2 * kRadius + 1, 2 * kRadius + 1));
  cv::blur(square, meanSq, cv::Size(2 * kRadius + 1, 2 * kRadius + 1));
  cv::multiply(mean, mean, square);
  cv::subtract(meanSq, square, square);
  cv::compare(square, deviation * deviation, plain, cv::CMP_LT);
}

// Index of a pixel beyond the edge, reflected without repeating the edge (BORDER_REFLECT_101).
int reflect(int i, int n) { return i < 0 ? -i : i >= n ? 2 * n - 2 - i : i; }

// The library's test on a window's exact sums: both means rounded to float from the double
// sums times the double scale, the variance taken in float.
bool plainAsLibrary(std::int32_t sum, std::int32_t squares, float limit) {
  const double scale = 1. / kArea;
  const float mean = static_cast<float>(sum * scale);
  const float meanSq = static_cast<float>(squares * scale);
  const float square = mean * mean;
  return meanSq - square < limit;
}

// For every window sum, the least sum of squares that is not plain: rounding and float
// subtraction are monotonic, so the plain windows of a sum are those below it.
const std::vector<std::int32_t>& notPlainFrom(float limit) {
  thread_local float tableLimit = -1.f;
  thread_local std::vector<std::int32_t> table;
  if (tableLimit == limit) return table;
  table.resize(kArea * 255 + 1);
  for (std::int32_t s = 0; s <= kArea * 255; ++s) {
    std::int32_t low = 0, high = kMostSquares + 1;  // plain below low, not at high
    while (low < high) {
      const std::int32_t mid = low + (high - low) / 2;
      if (plainAsLibrary(s, mid, limit))
        low = mid + 1;
      else
        high = mid;
    }
    table[size_t(s)] = low;
  }
  tableLimit = limit;
  return table;
}

__attribute__((target_clones("avx2", "default"))) void sumRows(const cv::Mat& grey,
                                                               std::uint16_t* sums,
                                                               std::int32_t* squares) {
  const int cols = grey.cols;
  std::vector<std::uint16_t> padded(size_t(cols + 2 * kRadius));
  for (int y = 0; y < grey.rows; ++y) {
    const std::uint8_t* g = grey.ptr<std::uint8_t>(y);
    // The inside in vector steps; only the few reflected at either end one by one.
    for (int x = 0; x < cols; ++x) padded[size_t(x + kRadius)] = g[x];
    for (int k = 1; k <= kRadius; ++k) {
      padded[size_t(kRadius - k)] = g[reflect(-k, cols)];
      padded[size_t(cols - 1 + kRadius + k)] = g[reflect(cols - 1 + k, cols)];
    }
    std::uint16_t* s = sums + size_t(y) * cols;
    std::int32_t* q = squares + size_t(y) * cols;
    const std::uint16_t* p = padded.data();
    for (int x = 0; x < cols; ++x) {
      std::uint16_t sum = 0;
      std::int32_t sq = 0;
      for (int k = 0; k <= 2 * kRadius; ++k) {
        sum = std::uint16_t(sum + p[x + k]);
        sq += std::int32_t(p[x + k]) * p[x + k];
      }
      s[x] = sum;
      q[x] = sq;
    }
  }
}

// Moves the window sums one row down: adds the row entering, takes off the one leaving.
__attribute__((target_clones("avx2", "default"))) void slideColumns(
    const std::uint16_t* __restrict in, const std::uint16_t* __restrict out,
    const std::int32_t* __restrict inSq, const std::int32_t* __restrict outSq, int cols,
    std::uint16_t* __restrict sum, std::int32_t* __restrict sq) {
  for (int x = 0; x < cols; ++x) {
    sum[x] = std::uint16_t(sum[x] + in[x] - out[x]);
    sq[x] += inSq[x] - outSq[x];
  }
}

// One row's test from its window sums, sixteen pixels a step: each sum's bound gathered from
// the table, the comparisons packed down to bytes in order.
__attribute__((target("avx2"))) void plainRowAvx2(const std::uint16_t* sum, const std::int32_t* sq,
                                                  const std::int32_t* notPlain, int cols,
                                                  std::uint8_t* out) {
  int x = 0;
  for (; x + 16 <= cols; x += 16) {
    const __m256i sums = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(sum + x));
    const __m256i low = _mm256_cvtepu16_epi32(_mm256_castsi256_si128(sums));
    const __m256i high = _mm256_cvtepu16_epi32(_mm256_extracti128_si256(sums, 1));
    const __m256i boundLow = _mm256_i32gather_epi32(notPlain, low, 4);
    const __m256i boundHigh = _mm256_i32gather_epi32(notPlain, high, 4);
    const __m256i sqLow = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(sq + x));
    const __m256i sqHigh = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(sq + x + 8));
    // Packing works within 128-bit halves: the quarters are put back in order between.
    __m256i words = _mm256_packs_epi32(_mm256_cmpgt_epi32(boundLow, sqLow),
                                       _mm256_cmpgt_epi32(boundHigh, sqHigh));
    words = _mm256_permute4x64_epi64(words, 0xD8);
    const __m128i bytes =
        _mm_packs_epi16(_mm256_castsi256_si128(words), _mm256_extracti128_si256(words, 1));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), bytes);
  }
  for (; x < cols; ++x) out[x] = sq[x] < notPlain[sum[x]] ? 255 : 0;
}

void plainRow(const std::uint16_t* sum, const std::int32_t* sq, const std::int32_t* notPlain,
              int cols, std::uint8_t* out) {
  static const bool gathers = __builtin_cpu_supports("avx2");
  if (gathers) return plainRowAvx2(sum, sq, notPlain, cols, out);
  for (int x = 0; x < cols; ++x) out[x] = sq[x] < notPlain[sum[x]] ? 255 : 0;
}

}  // namespace

void plainPixels(const cv::Mat& grey, double deviation, cv::Mat& plain) {
  const int rows = grey.rows, cols = grey.cols;
  const float limit = static_cast<float>(deviation * deviation);
  if (grey.type() != CV_8UC1 || rows <= kRadius || cols <= kRadius ||
      double(limit) != deviation * deviation || plain.data == grey.data) {
    plainByLibrary(grey, deviation, plain);
    return;
  }
  const std::vector<std::int32_t>& notPlain = notPlainFrom(limit);
  plain.create(grey.size(), CV_8UC1);
  thread_local std::vector<std::uint16_t> rowSums, sum;
  thread_local std::vector<std::int32_t> rowSquares, sq;
  rowSums.resize(size_t(rows) * cols);
  rowSquares.resize(size_t(rows) * cols);
  sum.resize(size_t(cols));
  sq.resize(size_t(cols));
  sumRows(grey, rowSums.data(), rowSquares.data());
  std::fill(sum.begin(), sum.end(), std::uint16_t(0));
  std::fill(sq.begin(), sq.end(), 0);
  for (int k = -kRadius; k <= kRadius; ++k) {
    const size_t r = size_t(reflect(k, rows)) * cols;
    for (int x = 0; x < cols; ++x) {
      sum[size_t(x)] = std::uint16_t(sum[size_t(x)] + rowSums[r + size_t(x)]);
      sq[size_t(x)] += rowSquares[r + size_t(x)];
    }
  }
  for (int y = 0; y < rows; ++y) {
    if (y > 0) {
      const size_t in = size_t(reflect(y + kRadius, rows)) * cols;
      const size_t out = size_t(reflect(y - kRadius - 1, rows)) * cols;
      slideColumns(&rowSums[in], &rowSums[out], &rowSquares[in], &rowSquares[out], cols, sum.data(),
                   sq.data());
    }
    plainRow(sum.data(), sq.data(), notPlain.data(), cols, plain.ptr<std::uint8_t>(y));
  }
}

}  // namespace slidetrack
