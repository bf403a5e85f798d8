#include "temporal_mode.h"

#include <gtest/gtest.h>

#include <vector>

#include <opencv2/core.hpp>

namespace {

// Plain per-element 256-bin histogram; ties go to the higher value.
cv::Mat referenceMode(const std::vector<cv::Mat>& ring, int first, int count) {
  const int L = static_cast<int>(ring.size());
  cv::Mat dst = cv::Mat::zeros(ring[0].size(), ring[0].type());
  const size_t total = dst.total() * dst.channels();
  for (size_t e = 0; e < total; ++e) {
    int hist[256] = {};
    for (int k = 0; k < count; ++k) ++hist[ring[(first + k) % L].data[e]];
    int best = 0;
    for (int v = 0; v < 256; ++v)
      if (hist[v] > 0 && hist[v] >= hist[best]) best = v;
    dst.data[e] = static_cast<uchar>(best);
  }
  return dst;
}

// maxValue bounds the values: a small range forces many ties.
std::vector<cv::Mat> randomRing(int length, cv::Size size, int type, int maxValue, uint64_t seed) {
  cv::RNG rng(seed);
  std::vector<cv::Mat> ring(length);
  for (cv::Mat& m : ring) {
    m.create(size, type);
    rng.fill(m, cv::RNG::UNIFORM, 0, maxValue + 1);
  }
  return ring;
}

bool same(const cv::Mat& a, const cv::Mat& b) {
  return a.size() == b.size() && a.type() == b.type() && cv::norm(a, b, cv::NORM_INF) == 0;
}

}  // namespace

TEST(TemporalMode, MatchesReferenceOnRandomWindows) {
  // Widths cross the inner block size; ranges of 2 and 4 values are full of ties.
  struct Case {
    int length, first, count, maxValue;
  };
  const Case cases[] = {{10, 0, 1, 255}, {10, 4, 2, 3},     {10, 0, 10, 255},  {10, 0, 10, 1},
                        {10, 7, 6, 3},   {10, 9, 10, 3},    {10, 3, 5, 255},   {16, 5, 16, 3},
                        {40, 30, 17, 3}, {40, 11, 40, 255}, {255, 200, 255, 7}};
  uint64_t seed = 7;
  for (const Case& c : cases) {
    std::vector<cv::Mat> ring = randomRing(c.length, cv::Size(301, 7), CV_8UC3, c.maxValue, ++seed);
    cv::Mat fast;
    temporalMode(ring, c.length, fast, c.first, c.count);
    EXPECT_TRUE(same(fast, referenceMode(ring, c.first, c.count)))
        << "length " << c.length << " first " << c.first << " count " << c.count;
  }
}

TEST(TemporalMode, EmptyWindowsAndMismatchedRingsGiveZero) {
  std::vector<cv::Mat> ring = randomRing(3, cv::Size(7, 5), CV_8UC3, 255, 1);
  cv::Mat dst(2, 2, CV_8UC1, cv::Scalar(9));
  temporalMode(ring, 3, dst, 1, 0);
  ASSERT_EQ(dst.size(), cv::Size(7, 5));  // shaped like the ring
  ASSERT_EQ(dst.type(), CV_8UC3);
  EXPECT_EQ(cv::countNonZero(dst.reshape(1)), 0);

  ring = randomRing(3, cv::Size(4, 4), CV_8UC1, 255, 3);
  ring[2] = cv::Mat(5, 4, CV_8UC1, cv::Scalar(1));
  temporalMode(ring, 3, dst, 0, 3);
  EXPECT_EQ(cv::countNonZero(dst), 0);
  temporalMode(ring, 5, dst, 0, 3);  // ring shorter than its stated length
  EXPECT_TRUE(dst.empty());
}
