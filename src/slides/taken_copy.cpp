#include "slides/taken_copy.h"

#include <emmintrin.h>

#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include <opencv2/imgproc.hpp>

namespace slidetrack {

namespace {

// Whether all 16 bytes at p are zero, or all are not.
bool allZero(const std::uint8_t* p) {
  const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  return _mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_setzero_si128())) == 0xffff;
}
bool noneZero(const std::uint8_t* p) {
  const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  return _mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_setzero_si128())) == 0;
}

// The runs [start, end) of nonzero bytes of a row: a taken map is mostly long runs, which
// 16 bytes a step pass.
void takenRuns(const std::uint8_t* t, int cols, std::vector<std::pair<int, int>>& runs) {
  runs.clear();
  int x = 0;
  while (x < cols) {
    while (x + 16 <= cols && allZero(t + x)) x += 16;
    while (x < cols && !t[x]) ++x;
    if (x == cols) break;
    const int start = x;
    while (x + 16 <= cols && noneZero(t + x)) x += 16;
    while (x < cols && t[x]) ++x;
    runs.emplace_back(start, x);
  }
}

}  // namespace

void copyWhereTaken(const cv::Mat& screenBgr, const cv::Mat& taken, cv::Mat& seen,
                    cv::Mat& picture) {
  if (screenBgr.cols != 2 * taken.cols || screenBgr.rows != 2 * taken.rows ||
      screenBgr.type() != CV_8UC3 || taken.type() != CV_8UC1 ||
      picture.size() != screenBgr.size() || picture.type() != CV_8UC3) {
    cv::resize(taken, seen, screenBgr.size(), 0, 0, cv::INTER_NEAREST);
    screenBgr.copyTo(picture, seen);
    return;
  }
  thread_local std::vector<std::pair<int, int>> runs;
  for (int y = 0; y < taken.rows; ++y) {
    takenRuns(taken.ptr<std::uint8_t>(y), taken.cols, runs);
    // Both screen rows of the work row.
    for (int r = 2 * y; r < 2 * y + 2; ++r) {
      const std::uint8_t* from = screenBgr.ptr<std::uint8_t>(r);
      std::uint8_t* to = picture.ptr<std::uint8_t>(r);
      for (const auto& [start, end] : runs)
        std::memcpy(to + 6 * start, from + 6 * start, size_t(6) * size_t(end - start));
    }
  }
}

}  // namespace slidetrack
