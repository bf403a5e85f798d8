#include "slides/packed_morphology.h"

#include <immintrin.h>

#include <algorithm>
#include <cstring>

namespace slidetrack {

namespace {

// Pixel x of a row is bit x % 64 of word x / 64; every row has a clear word before and
// after it, so that a shift by k (0 < k < 64) reads its neighbours without a test. The
// rows follow each other, and each loop runs over a whole block of them in vector steps;
// what it leaves in the words round a row is cleared afterwards (clearMargins).
__attribute__((target_clones("avx2", "default"))) void spreadBy(
    const std::uint64_t* __restrict w, const std::uint64_t* __restrict before,
    std::uint64_t* __restrict out, size_t n, int k) {
  for (size_t j = 1; j + 1 < n; ++j)
    out[j] =
        before[j] | (w[j] << k) | (w[j - 1] >> (64 - k)) | (w[j] >> k) | (w[j + 1] << (64 - k));
}

__attribute__((target_clones("avx2", "default"))) void orInto(std::uint64_t* __restrict out,
                                                              const std::uint64_t* __restrict in,
                                                              size_t n) {
  for (size_t j = 0; j < n; ++j) out[j] |= in[j];
}

// Packs the first pixels of a row 32 at a time, from x on: the x reached, mixed set when a
// pixel is neither 0 nor 255. Words are little-endian: four bytes of bits a step.
__attribute__((target("avx2"))) int packAvx2(const std::uint8_t* m, int cols, std::uint8_t* bytes,
                                             int& mixed) {
  const __m256i zero = _mm256_setzero_si256(), full = _mm256_set1_epi8(-1);
  int x = 0;
  for (; x + 32 <= cols; x += 32) {
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(m + x));
    const unsigned set = unsigned(_mm256_movemask_epi8(_mm256_cmpeq_epi8(v, full)));
    mixed |= ~(set | unsigned(_mm256_movemask_epi8(_mm256_cmpeq_epi8(v, zero)))) != 0;
    std::memcpy(bytes + x / 8, &set, 4);
  }
  return x;
}

// Unpacks the first pixels of a row 32 at a time: each byte of bits spread over eight bytes.
__attribute__((target("avx2"))) int unpackAvx2(const std::uint8_t* bytes, int cols,
                                               std::uint8_t* m) {
  const __m256i pick = _mm256_setr_epi8(0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1, 2, 2, 2, 2,
                                        2, 2, 2, 2, 3, 3, 3, 3, 3, 3, 3, 3);
  const __m256i bit = _mm256_set1_epi64x(static_cast<long long>(0x8040201008040201ULL));
  int x = 0;
  for (; x + 32 <= cols; x += 32) {
    int four;
    std::memcpy(&four, bytes + x / 8, 4);
    const __m256i spread = _mm256_shuffle_epi8(_mm256_set1_epi32(four), pick);
    const __m256i v = _mm256_cmpeq_epi8(_mm256_and_si256(spread, bit), bit);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(m + x), v);
  }
  return x;
}

const bool kAvx2 = __builtin_cpu_supports("avx2");

__attribute__((target_clones("avx2", "default"))) void invertAll(std::uint64_t* w, size_t n) {
  for (size_t j = 0; j < n; ++j) w[j] = ~w[j];
}

}  // namespace

bool kernelRunsOf(const cv::Mat& kernel, KernelRuns& runs) {
  if (kernel.type() != CV_8UC1 || kernel.cols % 2 == 0 || kernel.rows % 2 == 0 || kernel.cols > 63)
    return false;
  const int centre = kernel.cols / 2;
  runs.half.assign(size_t(kernel.rows), -1);
  for (int y = 0; y < kernel.rows; ++y) {
    const unsigned char* k = kernel.ptr<unsigned char>(y);
    int first = -1, last = -1, set = 0;
    for (int x = 0; x < kernel.cols; ++x)
      if (k[x]) last = x, first = first < 0 ? x : first, ++set;
    if (set == 0) continue;
    if (set != last - first + 1 || centre - first != last - centre) return false;
    runs.half[size_t(y)] = centre - first;
  }
  return *std::max_element(runs.half.begin(), runs.half.end()) >= 0;
}

bool PackedMask::load(const cv::Mat& mask) {
  if (mask.type() != CV_8UC1 || mask.empty()) return false;
  cols_ = mask.cols;
  rows_ = mask.rows;
  words_ = (cols_ + 63) / 64;
  last_ = cols_ % 64 ? (std::uint64_t{1} << (cols_ % 64)) - 1 : ~std::uint64_t{0};
  bits_.assign(plane(), 0);
  const __m128i zero = _mm_setzero_si128(), full = _mm_set1_epi8(-1);
  for (int y = 0; y < rows_; ++y) {
    const unsigned char* m = mask.ptr<unsigned char>(y);
    std::uint64_t* w = row(bits_, y);
    auto* bytes = reinterpret_cast<unsigned char*>(w);
    int mixed = 0, x = kAvx2 ? packAvx2(m, cols_, bytes, mixed) : 0;
    // Sixteen pixels give two bytes of bits.
    for (; x + 16 <= cols_; x += 16) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(m + x));
      const int set = _mm_movemask_epi8(_mm_cmpeq_epi8(v, full));
      mixed |= (set | _mm_movemask_epi8(_mm_cmpeq_epi8(v, zero))) ^ 0xFFFF;
      bytes[x / 8] = static_cast<unsigned char>(set);
      bytes[x / 8 + 1] = static_cast<unsigned char>(set >> 8);
    }
    for (; x < cols_; ++x) {
      mixed |= m[x] != 0 && m[x] != 255;
      if (m[x]) w[x / 64] |= std::uint64_t{1} << (x % 64);
    }
    if (mixed) return false;
  }
  return true;
}

void PackedMask::store(cv::Mat& mask) const {
  mask.create(rows_, cols_, CV_8UC1);
  const __m128i bit = _mm_set_epi8(-128, 64, 32, 16, 8, 4, 2, 1, -128, 64, 32, 16, 8, 4, 2, 1);
  constexpr std::uint64_t kEach = 0x0101010101010101ULL;
  for (int y = 0; y < rows_; ++y) {
    const auto* bytes =
        reinterpret_cast<const unsigned char*>(bits_.data() + size_t(y) * size_t(words_ + 2) + 1);
    unsigned char* m = mask.ptr<unsigned char>(y);
    int x = kAvx2 ? unpackAvx2(bytes, cols_, m) : 0;
    for (; x + 16 <= cols_; x += 16) {
      const __m128i spread = _mm_set_epi64x(static_cast<long long>(kEach * bytes[x / 8 + 1]),
                                            static_cast<long long>(kEach * bytes[x / 8]));
      const __m128i v = _mm_cmpeq_epi8(_mm_and_si128(spread, bit), bit);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(m + x), v);
    }
    for (; x < cols_; ++x) m[x] = (bytes[x / 8] >> (x % 8)) & 1 ? 255 : 0;
  }
}

void PackedMask::clearMargins(std::vector<std::uint64_t>& bits) const {
  for (int y = 0; y < rows_; ++y) {
    std::uint64_t* w = row(bits, y);
    w[-1] = 0;
    w[words_ - 1] &= last_;
    w[words_] = 0;
  }
}

void PackedMask::dilate(const KernelRuns& kernel) {
  const int widest = *std::max_element(kernel.half.begin(), kernel.half.end());
  // The rows spread sideways by each half width up to the widest, one block each: the rows
  // themselves, then spread_'s blocks.
  const size_t block = plane();
  spread_.resize(block * size_t(std::max(widest, 0)));
  const auto level = [&](int r) {
    return r == 0 ? bits_.data() : spread_.data() + block * size_t(r - 1);
  };
  for (int r = 1; r <= widest; ++r) spreadBy(bits_.data(), level(r - 1), level(r), block, r);
  // The middle row's run reaches every output row: its block is copied, the others added.
  const int middle = int(kernel.half.size()) / 2;
  const int centre = kernel.half[size_t(middle)];
  out_.resize(block);
  if (centre >= 0)
    std::copy(level(centre), level(centre) + block, out_.data());
  else
    std::fill(out_.begin(), out_.end(), 0);
  const size_t stride = size_t(words_ + 2);
  for (int i = 0; i < int(kernel.half.size()); ++i) {
    if (kernel.half[size_t(i)] < 0 || i == middle) continue;
    const int dy = i - middle;
    const int from = std::max(0, -dy), to = std::min(rows_, rows_ - dy);  // output rows
    if (from >= to) continue;
    orInto(out_.data() + size_t(from) * stride,
           level(kernel.half[size_t(i)]) + size_t(from + dy) * stride, size_t(to - from) * stride);
  }
  clearMargins(out_);
  bits_.swap(out_);
}

// The kernels' runs are centred: what erosion leaves is what dilating the complement does
// not reach, outside still counting for nothing.
void PackedMask::erode(const KernelRuns& kernel) {
  invertAll(bits_.data(), bits_.size());
  clearMargins(bits_);
  dilate(kernel);
  invertAll(bits_.data(), bits_.size());
  clearMargins(bits_);
}

namespace {

bool packedMorph(const cv::Mat& mask, const cv::Mat& kernel, bool dilating, cv::Mat& out) {
  thread_local KernelRuns runs;
  thread_local PackedMask packed;
  if (!kernelRunsOf(kernel, runs) || !packed.load(mask)) return false;
  if (dilating)
    packed.dilate(runs);
  else
    packed.erode(runs);
  packed.store(out);
  return true;
}

}  // namespace

bool packedDilate(const cv::Mat& mask, const cv::Mat& kernel, cv::Mat& out) {
  return packedMorph(mask, kernel, true, out);
}

bool packedErode(const cv::Mat& mask, const cv::Mat& kernel, cv::Mat& out) {
  return packedMorph(mask, kernel, false, out);
}

bool packedOpenClose(cv::Mat& mask, const cv::Mat& open, const cv::Mat& close) {
  thread_local KernelRuns opening, closing;
  thread_local PackedMask packed;
  if (!kernelRunsOf(open, opening) || !kernelRunsOf(close, closing) || !packed.load(mask))
    return false;
  packed.erode(opening);
  packed.dilate(opening);
  packed.dilate(closing);
  packed.erode(closing);
  packed.store(mask);
  return true;
}

}  // namespace slidetrack
