#include "video/jpeg_colour.h"

#include <algorithm>
#include <vector>

namespace slidetrack {

namespace {

constexpr int kScaleBits = 16;
constexpr int kHalf = 1 << (kScaleBits - 1);
constexpr int fix(double x) { return static_cast<int>(x * (1 << kScaleBits) + 0.5); }

inline std::uint8_t clamp255(int v) { return static_cast<std::uint8_t>(std::clamp(v, 0, 255)); }

// One chroma row at full width (rounded up to even) from its own row and the nearer
// neighbour row above or below (the same row at the picture's edges), weighted 3:1 each
// way. The biases alternate so that the rounding errors do not all lean one way.
void upsampleRow(const std::uint8_t* near, const std::uint8_t* far, int chromaWidth,
                 bool halfHeight, std::int16_t* sums, std::uint8_t* out) {
  std::int16_t* s = sums + 1;
  for (int i = 0; i < chromaWidth; ++i) {
    s[i] = static_cast<std::int16_t>(halfHeight ? 3 * near[i] + far[i] : 4 * near[i]);
  }
  s[-1] = s[0];
  s[chromaWidth] = s[chromaWidth - 1];
  // Four sixteenths of a column-only sum are the quarters of the 1:3 column mix.
  const int evenBias = halfHeight ? 8 : 4;
  const int oddBias = halfHeight ? 7 : 8;
  for (int i = 0; i < chromaWidth; ++i) {
    out[2 * i] = static_cast<std::uint8_t>((3 * s[i] + s[i - 1] + evenBias) >> 4);
    out[2 * i + 1] = static_cast<std::uint8_t>((3 * s[i] + s[i + 1] + oddBias) >> 4);
  }
}

// One row of colour, in separate planes so that the loop runs in vector steps.
inline void colourRow(const std::uint8_t* __restrict luma, const std::uint8_t* __restrict cb,
                      const std::uint8_t* __restrict cr, int width, std::uint8_t* __restrict blue,
                      std::uint8_t* __restrict green, std::uint8_t* __restrict red) {
  for (int x = 0; x < width; ++x) {
    const int b = cb[x] - 128;
    const int r = cr[x] - 128;
    const int l = luma[x];
    blue[x] = clamp255(l + ((fix(1.772) * b + kHalf) >> kScaleBits));
    green[x] = clamp255(l + ((-fix(0.34414) * b - fix(0.71414) * r + kHalf) >> kScaleBits));
    red[x] = clamp255(l + ((fix(1.402) * r + kHalf) >> kScaleBits));
  }
}

}  // namespace

__attribute__((target_clones("avx2", "default"))) void jpegPlanesToBgr(
    const std::uint8_t* const planes[3], const int strides[3], int width, int height,
    bool halfWidth, bool halfHeight, cv::Mat& bgr) {
  bgr.create(height, width, CV_8UC3);
  const int chromaWidth = halfWidth ? (width + 1) / 2 : width;
  const int chromaHeight = halfHeight ? (height + 1) / 2 : height;
  thread_local std::vector<std::int16_t> sums;
  thread_local std::vector<std::uint8_t> chroma, channels;
  sums.resize(chromaWidth + 2);
  chroma.resize(4 * static_cast<size_t>(chromaWidth));
  channels.resize(3 * static_cast<size_t>(width));
  std::uint8_t* cb = chroma.data();
  std::uint8_t* cr = cb + 2 * chromaWidth;
  cv::Mat rows[3];
  for (int c = 0; c < 3; ++c) rows[c] = cv::Mat(1, width, CV_8UC1, channels.data() + c * width);
  std::uint8_t* blue = rows[0].data;
  std::uint8_t* green = rows[1].data;
  std::uint8_t* red = rows[2].data;
  for (int y = 0; y < height; ++y) {
    const int row = halfHeight ? y / 2 : y;
    const int other = halfHeight ? std::clamp(y % 2 ? row + 1 : row - 1, 0, chromaHeight - 1) : row;
    for (int c = 1; c <= 2; ++c) {
      const std::uint8_t* near = planes[c] + static_cast<ptrdiff_t>(row) * strides[c];
      const std::uint8_t* far = planes[c] + static_cast<ptrdiff_t>(other) * strides[c];
      std::uint8_t* out = c == 1 ? cb : cr;
      if (halfWidth) {
        upsampleRow(near, far, chromaWidth, halfHeight, sums.data(), out);
      } else {
        std::copy(near, near + width, out);
      }
    }
    const std::uint8_t* luma = planes[0] + static_cast<ptrdiff_t>(y) * strides[0];
    colourRow(luma, cb, cr, width, blue, green, red);
    cv::Mat out = bgr.row(y);
    cv::merge(rows, 3, out);
  }
}

}  // namespace slidetrack
