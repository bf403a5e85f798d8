// Steps of the slide change detector: edge magnitudes, the change measure and its limits, and
// the temporal mode of the ring against a plain reference. The edge map as a whole is checked
// bit for bit in slide_detector_test.

#include <gtest/gtest.h>

#include <vector>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "images.h"
#include "slides/shift_diff.h"
#include "slides/slide_detector_steps.h"
#include "slides/temporal_mode.h"

using namespace slidetrack;

namespace {

const cv::Size kMap(160, 120);

// count changed elements, 8 per row, stepping across the columns so that every row and
// every column is hit.
cv::Mat spreadOutChanges(int count) {
  cv::Mat d = cv::Mat::zeros(kMap, CV_8UC1);
  for (int k = 0; k < count; ++k) d.at<uchar>(k / 8, (k * 13) % kMap.width) = 255;
  return d;
}

cv::Mat block(cv::Rect changed) {
  cv::Mat d = cv::Mat::zeros(kMap, CV_8UC1);
  d(changed).setTo(255);
  return d;
}

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

}  // namespace

// The float32 measures are compared strictly with the double limits 0.3 and 0.05.
TEST(ChangeSpread, LimitsOfASlideChange) {
  cv::Mat lessOneColumn = block(cv::Rect(0, 0, 80, 72));
  lessOneColumn.col(79).setTo(0);
  struct Case {
    const char* name;
    cv::Mat diff;
    float spread, fraction;  // negative: not checked
    bool change;
  };
  const Case cases[] = {
      {"empty", cv::Mat::zeros(kMap, CV_8UC1), 0.f, 0.f, false},
      {"960 changed", spreadOutChanges(960), 1.f, 0.05f, true},  // 0.0500000007 > 0.05
      {"959 changed", spreadOutChanges(959), 1.f, -1, false},
      {"half columns, 60% rows", block(cv::Rect(0, 0, 80, 72)), 0.3f, -1, true},
      {"one column less", lessOneColumn, -1, -1, false},
      {"quarter band", block(cv::Rect(60, 0, 40, kMap.height)), 0.25f, 0.25f, false}};
  for (const Case& c : cases) {
    const ChangeMeasure m = changeSpread(c.diff);
    if (c.spread >= 0) {
      EXPECT_FLOAT_EQ(m.spread, c.spread) << c.name;
    }
    if (c.fraction >= 0) {
      EXPECT_FLOAT_EQ(m.fraction, c.fraction) << c.name;
    }
    EXPECT_EQ(slideDetIsChange(m), c.change) << c.name;
  }
}

TEST(EdgeMagnitude, SumOfAbsoluteDerivativesScaled) {
  // A vertical step of 100: the 3x3 Sobel gives 400 next to it, scaled to 141.
  cv::Mat src = cv::Mat::zeros(8, 8, CV_8UC1);
  src.colRange(4, 8).setTo(100);
  cv::Mat dst;
  edgeMagnitude(dst, src, 3);
  EXPECT_EQ(dst.at<uchar>(4, 3), 141);
  EXPECT_EQ(dst.at<uchar>(4, 1), 0);
  EXPECT_EQ(dst.at<uchar>(0, 3), 141);

  // The border repeats the edge pixel, so a step right at the border still shows.
  cv::Mat border(8, 8, CV_8UC1, cv::Scalar(100));
  border.col(0).setTo(0);
  edgeMagnitude(dst, border, 3);
  EXPECT_EQ(dst.at<uchar>(4, 0), 141);

  // Diagonally off a corner both derivatives are 100: their sum counts, not the length.
  cv::Mat corner = cv::Mat::zeros(8, 8, CV_8UC1);
  corner(cv::Rect(4, 4, 4, 4)).setTo(100);
  edgeMagnitude(dst, corner, 3);
  EXPECT_EQ(dst.at<uchar>(3, 3), 71);

  // In place gives the same; a full step saturates.
  corner *= 2.55;
  cv::Mat inPlace = corner.clone();
  edgeMagnitude(inPlace, inPlace, 3);
  edgeMagnitude(dst, corner, 3);
  EXPECT_EQ(cv::norm(inPlace, dst, cv::NORM_INF), 0);
  EXPECT_EQ(dst.at<uchar>(5, 3), 255);
}

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
    EXPECT_TRUE(sameImage(fast, referenceMode(ring, c.first, c.count)))
        << "length " << c.length << " first " << c.first << " count " << c.count;
  }
}

// The one-pass comparison gives what erode, dilate, the saturated differences and the
// threshold give: at the edges, for thresholds out of range and on images of one row or
// column.
TEST(ShiftTolerantChange, MatchesTheLibrarysMorphology) {
  for (const cv::Size size : {cv::Size(160, 120), cv::Size(1, 7), cv::Size(9, 1), cv::Size(33, 2)})
    for (const int thresh : {-1, 0, 24, 254, 255}) {
      cv::Mat image(size, CV_8UC1), ref(size, CV_8UC1), ours, theirs, low, high, brighter;
      cv::randu(image, 0, 256);
      cv::randu(ref, 0, 256);
      shiftTolerantChange(image, ref, thresh, ours);
      cv::erode(ref, low, cv::Mat());
      cv::dilate(ref, high, cv::Mat());
      cv::subtract(image, high, brighter);
      cv::subtract(low, image, theirs);
      cv::max(brighter, theirs, theirs);
      cv::threshold(theirs, theirs, thresh, 255, cv::THRESH_BINARY);
      EXPECT_EQ(cv::norm(ours, theirs, cv::NORM_INF), 0.0) << size << ", threshold " << thresh;
    }
}
