#include "features/sampled_smoothing.h"

#include <immintrin.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include <opencv2/core/softfloat.hpp>
#include <opencv2/imgproc.hpp>

#include "features/fixed_radius_taps.h"
#include "features/nearest_sources.h"

namespace slidetrack {

namespace {

// The library's kernel size for an 8-bit image: three deviations each side.
int kernelSize(double sigma) { return cvRound(sigma * 6 + 1) | 1; }

// The library's fixed-point Gaussian taps for 8-bit images, in 1/256: the bell in soft
// double, rounded from the tails inward with the rounding error carried to the next
// tap, the centre taking the rest so the taps sum to 256.
std::vector<int> fixedPointGaussian(int n, double sigma) {
  using cv::softdouble;
  const softdouble scale = softdouble(-0.125) / (softdouble(sigma) * softdouble(sigma));
  const int half = (n - 1) / 2;
  std::vector<softdouble> bell(half);
  softdouble sum = softdouble::zero();
  for (int i = 0, x = 1 - n; i < half; ++i, x += 2) {
    bell[i] = cv::exp(softdouble(x * x) * scale);
    sum += bell[i];
  }
  sum = sum * softdouble(2) + softdouble::one();
  const softdouble norm = softdouble::one() / sum;
  std::vector<int> taps(n);
  softdouble error = softdouble::zero();
  int outer = 0;
  for (int i = 0; i < half; ++i) {
    const softdouble wanted = bell[i] * norm * softdouble(256) + error;
    const int tap = cvRound(wanted);
    error = wanted - softdouble(tap);
    taps[i] = taps[n - 1 - i] = tap;
    outer += tap;
  }
  taps[half] = 256 - 2 * outer;
  return taps;
}

// The library's fixed taps for small kernels asked for without a deviation, in 1/256;
// its tables are multiples of 1/256, so they convert exactly.
std::vector<int> fixedSmallGaussian(int n) {
  const cv::Mat k = cv::getGaussianKernel(n, 0, CV_64F);
  std::vector<int> taps(n);
  for (int i = 0; i < n; ++i) taps[i] = cvRound(k.at<double>(i) * 256);
  return taps;
}

// Kernels and sample positions of the last geometry, reused while it stays the same.
// A deviation of 0 stands for the fixed kernel of size n.
struct Plan {
  cv::Size source, target;
  int nx = 0, ny = 0;
  double sx = 0.0, sy = 0.0;
  std::vector<int> kx, ky, xs, ys;
  std::vector<int> at;  // xs less its first
  int stride = 0;       // xs[j] = xs[0] + stride * j, when that holds for a stride of 2 or more
};

std::vector<int> tapsFor(int n, double sigma) {
  return sigma > 0.0 ? fixedPointGaussian(n, sigma) : fixedSmallGaussian(n);
}

const Plan& planFor(cv::Size source, cv::Size target, int nx, int ny, double sx, double sy) {
  thread_local Plan plan;
  if (plan.source != source || plan.target != target || plan.nx != nx || plan.ny != ny ||
      plan.sx != sx || plan.sy != sy) {
    plan.source = source;
    plan.target = target;
    plan.nx = nx;
    plan.ny = ny;
    plan.sx = sx;
    plan.sy = sy;
    plan.kx = tapsFor(nx, sx);
    plan.ky = tapsFor(ny, sy);
    plan.xs = nearestSources(source.width, target.width, true);
    plan.ys = nearestSources(source.height, target.height, false);
    plan.at.clear();
    for (int x : plan.xs) plan.at.push_back(x - plan.xs[0]);
    const int step = plan.xs.size() >= 2 ? plan.xs[1] - plan.xs[0] : 0;
    plan.stride = step >= 2 ? step : 0;
    for (size_t j = 0; j < plan.xs.size() && plan.stride; ++j)
      if (plan.at[j] != step * int(j)) plan.stride = 0;
  }
  return plan;
}

// Sixteen fraction bits, rounded half up, as the library converts back to 8 bits; sums are
// never negative.
__attribute__((target("avx2"))) void pickSampledAvx2(const std::int32_t* sums, const int* at,
                                                     std::uint8_t* out, int cols) {
  const __m256i half = _mm256_set1_epi32(32768), most = _mm256_set1_epi32(255);
  int c = 0;
  for (; c + 8 <= cols; c += 8) {
    const __m256i index = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + c));
    __m256i v = _mm256_i32gather_epi32(sums, index, 4);
    v = _mm256_min_epi32(_mm256_srli_epi32(_mm256_add_epi32(v, half), 16), most);
    const __m128i words =
        _mm_packus_epi32(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + c), _mm_packus_epi16(words, words));
  }
  for (; c < cols; ++c)
    out[c] = static_cast<std::uint8_t>(std::min((sums[at[c]] + 32768) >> 16, 255));
}

void pickSampled(const std::int32_t* sums, const int* at, std::uint8_t* out, int cols) {
  static const bool gathers = __builtin_cpu_supports("avx2");
  if (gathers) return pickSampledAvx2(sums, at, out, cols);
  for (int c = 0; c < cols; ++c)
    out[c] = static_cast<std::uint8_t>(std::min((sums[at[c]] + 32768) >> 16, 255));
}

// Horizontal taps over the span of the sampled columns of one vertically smoothed row,
// then the sampled ones picked: every column in vector steps costs less than the
// sampled ones alone one at a time. at: the sampled columns less the first.
inline __attribute__((always_inline)) void horizontalTaps(const std::uint16_t* v, const int* xs,
                                                          const int* at, const int* kx, int nx,
                                                          std::int32_t* sums, std::uint8_t* out,
                                                          int cols) {
  const int rx = nx / 2;
  const int first = xs[0];
  const int span = xs[cols - 1] - first + 1;
  const std::uint16_t* p = v + first;
  static const bool avx2 = __builtin_cpu_supports("avx2");
  if (!avx2 || !tapsOfRadius(p, kx, rx, span, sums)) {
    const std::int32_t centre = kx[rx];
    for (int x = 0; x < span; ++x) sums[x] = centre * p[x];
    for (int i = 0; i < rx; ++i) {
      const std::int32_t tap = kx[i];
      const std::uint16_t* a = p + i - rx;
      const std::uint16_t* b = p + rx - i;
      for (int x = 0; x < span; ++x) sums[x] += tap * (a[x] + b[x]);
    }
  }
  pickSampled(sums, at, out, cols);
}

// The same where the sampled columns are evenly spaced, stride apart: the row is split into
// stride phases, each tap then reads one phase in order, and the sums are taken at the
// sampled columns alone. phases: room for stride * (cols + nx) values.
inline __attribute__((always_inline)) void stridedTaps(const std::uint16_t* v, int x0, int stride,
                                                       const int* kx, int nx, std::uint16_t* phases,
                                                       std::int32_t* sums, std::uint8_t* out,
                                                       int cols) {
  const int rx = nx / 2;
  const int first = x0 - rx;                       // phase 0 starts here
  const int last = x0 + stride * (cols - 1) + rx;  // the last value a tap reads
  const int length = (last - first) / stride + 1;
  if (stride == 2) {
    // Pairs split in vector steps: the even values are the low halves of 32-bit words.
    const std::uint16_t* __restrict from = v + first;
    std::uint16_t* __restrict even = phases;
    std::uint16_t* __restrict odd = phases + length;
    const int pairs = (last - first + 1) / 2;
    for (int m = 0; m < pairs; ++m) {
      even[m] = from[2 * m];
      odd[m] = from[2 * m + 1];
    }
    if ((last - first + 1) % 2) even[pairs] = from[2 * pairs];
  } else {
    for (int p = 0; p < stride; ++p) {
      std::uint16_t* phase = phases + p * length;
      const std::uint16_t* from = v + first + p;
      const int n = (last - first - p) / stride + 1;
      for (int m = 0; m < n; ++m) phase[m] = from[stride * m];
    }
  }
  // Tap i of sample j reads v[first + stride * j + i]: phase i % stride, from i / stride on.
  const auto tapAt = [&](int i) { return phases + (i % stride) * length + i / stride; };
  static const bool avx2 = __builtin_cpu_supports("avx2");
  if (!avx2 || stride != 2 || !pairTapsOfRadius(phases, phases + length, kx, rx, cols, sums)) {
    const std::int32_t centre = kx[rx];
    const std::uint16_t* c = tapAt(rx);
    for (int j = 0; j < cols; ++j) sums[j] = centre * c[j];
    for (int i = 0; i < rx; ++i) {
      const std::int32_t tap = kx[i];
      const std::uint16_t* a = tapAt(i);
      const std::uint16_t* b = tapAt(nx - 1 - i);
      for (int j = 0; j < cols; ++j) sums[j] += tap * (a[j] + b[j]);
    }
  }
  for (int j = 0; j < cols; ++j)
    out[j] = static_cast<std::uint8_t>(std::min((sums[j] + 32768) >> 16, 255));
}

// Both kernels are odd, at least 3 taps and no larger than the image.
// Twice the vector width where the processor has it; integer sums give the same bits.
__attribute__((target_clones("avx2", "default"))) bool smoothAndSample(const cv::Mat& grey,
                                                                       cv::Mat& target, int nx,
                                                                       int ny, double sx,
                                                                       double sy) {
  if (grey.type() != CV_8UC1 || target.type() != CV_8UC1 || grey.isSubmatrix()) return false;
  if (nx < 3 || ny < 3 || nx > grey.cols || ny > grey.rows) return false;
  const Plan& plan = planFor(grey.size(), target.size(), nx, ny, sx, sy);
  const int rx = nx / 2;
  const int ry = ny / 2;
  const int width = grey.cols;
  // One vertically smoothed source row, replicated rx pixels beyond both ends. Its
  // values are at most 255 x 256 and every partial sum is below the total, so 16 bits
  // hold them exactly and twice as many go through one vector step.
  thread_local std::vector<std::uint16_t> column;
  column.resize(width + 2 * rx);
  std::uint16_t* v = column.data() + rx;
  thread_local std::vector<const std::uint8_t*> rows;  // no allocation per frame
  rows.resize(ny);
  thread_local std::vector<std::int32_t> sums;
  sums.resize(width);
  thread_local std::vector<std::uint16_t> phases;
  if (plan.stride) phases.resize(size_t(plan.stride) * size_t(target.cols + nx));
  for (int r = 0; r < target.rows; ++r) {
    for (int t = 0; t < ny; ++t) {
      rows[t] = grey.ptr<std::uint8_t>(std::clamp(plan.ys[r] + t - ry, 0, grey.rows - 1));
    }
    // Vertical taps first: exact integers, so the order of the two passes is free.
    const std::uint16_t centre = static_cast<std::uint16_t>(plan.ky[ry]);
    for (int x = 0; x < width; ++x) v[x] = static_cast<std::uint16_t>(centre * rows[ry][x]);
    // Four or two pairs of rows a pass: the row is read and written less often.
    int t = 0;
    for (; t + 4 <= ry; t += 4) {
      std::uint16_t k[4];
      for (int i = 0; i < 4; ++i) k[i] = static_cast<std::uint16_t>(plan.ky[t + i]);
      const std::uint8_t *a0 = rows[t], *b0 = rows[ny - 1 - t], *a1 = rows[t + 1],
                         *b1 = rows[ny - 2 - t], *a2 = rows[t + 2], *b2 = rows[ny - 3 - t],
                         *a3 = rows[t + 3], *b3 = rows[ny - 4 - t];
      for (int x = 0; x < width; ++x) {
        v[x] = static_cast<std::uint16_t>(v[x] + k[0] * (a0[x] + b0[x]) + k[1] * (a1[x] + b1[x]) +
                                          k[2] * (a2[x] + b2[x]) + k[3] * (a3[x] + b3[x]));
      }
    }
    for (; t + 2 <= ry; t += 2) {
      const std::uint16_t tap = static_cast<std::uint16_t>(plan.ky[t]);
      const std::uint16_t next = static_cast<std::uint16_t>(plan.ky[t + 1]);
      const std::uint8_t *a = rows[t], *b = rows[ny - 1 - t];
      const std::uint8_t *c = rows[t + 1], *d = rows[ny - 2 - t];
      for (int x = 0; x < width; ++x) {
        v[x] = static_cast<std::uint16_t>(v[x] + tap * (a[x] + b[x]) + next * (c[x] + d[x]));
      }
    }
    for (; t < ry; ++t) {
      const std::uint16_t tap = static_cast<std::uint16_t>(plan.ky[t]);
      const std::uint8_t* a = rows[t];
      const std::uint8_t* b = rows[ny - 1 - t];
      for (int x = 0; x < width; ++x) {
        v[x] = static_cast<std::uint16_t>(v[x] + tap * (a[x] + b[x]));
      }
    }
    for (int x = 1; x <= rx; ++x) {
      v[-x] = v[0];
      v[width - 1 + x] = v[width - 1];
    }
    std::uint8_t* out = target.ptr<std::uint8_t>(r);
    if (plan.stride)
      stridedTaps(v, plan.xs[0], plan.stride, plan.kx.data(), nx, phases.data(), sums.data(), out,
                  target.cols);
    else
      horizontalTaps(v, plan.xs.data(), plan.at.data(), plan.kx.data(), nx, sums.data(), out,
                     target.cols);
  }
  return true;
}

}  // namespace

bool smoothAndSampleGrey(const cv::Mat& grey, cv::Mat& target, double sx, double sy) {
  if (!(sx > 0.0) || !(sy > 0.0)) return false;
  return smoothAndSample(grey, target, kernelSize(sx), kernelSize(sy), sx, sy);
}

bool smoothAndSampleGreyFixed(const cv::Mat& grey, cv::Mat& target, cv::Size kernel) {
  const auto small = [](int n) { return n >= 3 && n <= 7 && n % 2 == 1; };
  if (!small(kernel.width) || !small(kernel.height)) return false;
  return smoothAndSample(grey, target, kernel.width, kernel.height, 0.0, 0.0);
}

}  // namespace slidetrack
