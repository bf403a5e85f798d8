#include "app/nearest_resize.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <cstring>

#include <opencv2/imgproc.hpp>

#include "features/nearest_sources.h"

namespace slidetrack {

namespace {

// Each byte of in twice, for count bytes out.
void doubled(const uchar* in, uchar* out, int count) {
  int x = 0;
#if defined(__SSE2__)
  for (; x + 32 <= count; x += 32) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + x / 2));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), _mm_unpacklo_epi8(v, v));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x + 16), _mm_unpackhi_epi8(v, v));
  }
#endif
  for (; x < count; ++x) out[x] = in[x / 2];
}

}  // namespace

void nearestResize(NearestResize& plan, const cv::Mat& from, cv::Mat& to, cv::Size size) {
  if (from.type() != CV_8UC1 || from.empty() || size.empty()) {
    cv::resize(from, to, size, 0, 0, cv::INTER_NEAREST);
    return;
  }
  if (plan.from != from.size() || plan.to != size) {
    plan.rows = nearestSources(from.rows, size.height, false);
    plan.columns = nearestSources(from.cols, size.width, true);
    plan.from = from.size();
    plan.to = size;
    plan.doubles = true;
    for (int x = 0; x < size.width && plan.doubles; ++x) plan.doubles = plan.columns[x] == x / 2;
  }
  to.create(size, CV_8UC1);
  for (int y = 0; y < size.height; ++y) {
    uchar* out = to.ptr(y);
    // An enlarged map repeats its rows: each is picked once and then copied.
    if (y > 0 && plan.rows[y] == plan.rows[y - 1]) {
      std::memcpy(out, to.ptr(y - 1), size.width);
      continue;
    }
    const uchar* in = from.ptr(plan.rows[y]);
    if (plan.doubles) {
      doubled(in, out, size.width);
      continue;
    }
    for (int x = 0; x < size.width; ++x) out[x] = in[plan.columns[x]];
  }
}

}  // namespace slidetrack
