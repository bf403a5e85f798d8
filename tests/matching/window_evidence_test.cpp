// What the evidence takes from each feature window and the picture check from each cell,
// against plain computations kept here.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include <opencv2/imgproc.hpp>

#include "features/feature_options.h"
#include "features/grad_dist.h"
#include "features/gradient_pyramid.h"
#include "lecture_scene.h"
#include "matching/covered_cells.h"
#include "matching/window_evidence.h"
#include "window_grid.h"

using namespace slidetrack;

namespace {

// The bell-weighted magnitude of each window on its own, rows in the feature matrix order.
std::vector<float> referenceStrengths(const GradDistExtractor& e, int height, int width) {
  std::vector<float> strengths(zorGllfGradDistGetSize(&e, height, width, -1), 0.f);
  const std::vector<float>& p = e.weight->profile;
  const int size = e.windowSize;
  double total = 0;
  for (float v : p) total += v;
  const float norm = static_cast<float>(1.0 / (total * total));
  forEachGridWindow(e, height, width, [&](int k, int level, int x, int y) {
    if (x + size >= (width >> level) || y + size >= (height >> level)) return;
    const cv::Mat& magnitude = e.pyramid->levels[level][kMagnitude];
    double sum = 0;
    for (int r = 0; r < size; ++r) {
      float across = 0;
      for (int c = 0; c < size; ++c) across += p[c] * magnitude.at<float>(y + r, x + c);
      sum += p[r] * across;
    }
    strengths[k] = static_cast<float>(sum) * norm;
  });
  return strengths;
}

// covered[j] from the integral image of the whole mask.
std::vector<uint8_t> referenceCovered(const GradDistExtractor& e, int height, int width,
                                      const cv::Mat& mask) {
  std::vector<uint8_t> covered(zorGllfGradDistGetSize(&e, height, width, -1), 0);
  cv::Mat binary, sums;
  cv::threshold(mask, binary, 127, 1, cv::THRESH_BINARY);
  cv::integral(binary, sums, CV_32S);
  const double sx = static_cast<double>(mask.cols) / width;
  const double sy = static_cast<double>(mask.rows) / height;
  const int size = e.windowSize;
  forEachGridWindow(e, height, width, [&](int k, int level, int x, int y) {
    if (x + size >= (width >> level) || y + size >= (height >> level)) return;
    const double scale = 1 << level;
    const double left = (x + size * 0.25) * scale, top = (y + size * 0.25) * scale;
    const double side = size * 0.5 * scale;
    const int x0 = std::clamp(static_cast<int>(left * sx), 0, mask.cols - 1);
    const int y0 = std::clamp(static_cast<int>(top * sy), 0, mask.rows - 1);
    const int x1 = std::clamp(static_cast<int>(std::ceil((left + side) * sx)), x0 + 1, mask.cols);
    const int y1 = std::clamp(static_cast<int>(std::ceil((top + side) * sy)), y0 + 1, mask.rows);
    const int inside =
        sums.at<int>(y1, x1) - sums.at<int>(y0, x1) - sums.at<int>(y1, x0) + sums.at<int>(y0, x0);
    covered[k] = 3 * inside >= (x1 - x0) * (y1 - y0) ? 1 : 0;
  });
  return covered;
}

std::unique_ptr<GradDistExtractor> extractorFor(const FeatureOptions& options) {
  std::unique_ptr<GradDistExtractor> extractor = zorGllfGradDistCreate();
  zorGllfGradDistInit(extractor.get(), 2, options.gradBinSize, featureStepRatio(options),
                      options.locWndSize);
  return extractor;
}

cv::Mat randomMask(cv::Size size, bool twoValued, cv::RNG& rng) {
  cv::Mat mask(size, CV_8UC1);
  rng.fill(mask, cv::RNG::UNIFORM, 0, 256);
  if (twoValued) {
    // Blocks, as a person mask scaled up by nearest neighbour gives them.
    cv::Mat coarse(std::max(1, size.height / 8), std::max(1, size.width / 8), CV_8UC1);
    rng.fill(coarse, cv::RNG::UNIFORM, 0, 256);
    cv::resize(coarse > 160, mask, size, 0, 0, cv::INTER_NEAREST);
  }
  return mask;
}

}  // namespace

// What the evidence takes from each feature window, against the plain computation kept here:
// strengths summed one window at a time (the shared row sums must give the same floats, also
// when one extractor serves pictures of other content and size in turn), and covered
// windows counted on a whole integral image of the mask.
// Also windows whose side is no multiple of the eight columns summed at once, some of them
// ending too close to the border to read that many.
class WindowStrengthsSizes : public ::testing::TestWithParam<int> {};

TEST_P(WindowStrengthsSizes, EqualEachWindowSummedAloneAcrossPictures) {
  FeatureOptions options;
  options.locWndSize = GetParam();
  const std::unique_ptr<GradDistExtractor> extractor = extractorFor(options);
  // A slide, an empty picture after it (no row sum of the slide may survive), another
  // slide, and a feature image of another size.
  const cv::Mat pictures[] = {drawSlide(1, {640, 480}),
                              cv::Mat(480, 640, CV_8UC3, cv::Scalar::all(255)),
                              drawSlide(6, {640, 480}), drawSlide(3, {400, 300})};
  const cv::Size sizes[] = {{320, 240}, {320, 240}, {320, 240}, {200, 150}};
  std::vector<float> strengths;
  for (int i = 0; i < 4; ++i) {
    options.localWidth = sizes[i].width;
    options.localHeight = sizes[i].height;
    cv::Mat grey, prepared;
    cv::cvtColor(pictures[i], grey, cv::COLOR_BGR2GRAY);
    featureImagePrepareKeepingSource(grey, prepared, options);
    const int count = zorGllfGradDistGetSize(extractor.get(), prepared.rows, prepared.cols, -1);
    cv::Mat features(count, options.gradBinSize, CV_32FC1);
    ASSERT_NE(zorGllfGradDistExtract(extractor.get(), prepared, &features), nullptr);
    windowStrengths(*extractor, prepared.rows, prepared.cols, strengths);
    const std::vector<float> reference =
        referenceStrengths(*extractor, prepared.rows, prepared.cols);
    EXPECT_EQ(strengths, reference) << i;
    EXPECT_EQ(std::any_of(reference.begin(), reference.end(), [](float v) { return v > 0; }),
              i != 1)
        << i;
  }
}

INSTANTIATE_TEST_SUITE_P(WindowStrengths, WindowStrengthsSizes, ::testing::Values(31, 20, 9, 8));

// Masks as the pipeline hands them (a blocky speaker scaled up by nearest neighbour), with
// grey values around the threshold, and of sizes that do not divide evenly; one taller than
// 16-bit column counts hold.
TEST(WindowsCovered, EqualTheWholeIntegralImage) {
  const std::unique_ptr<GradDistExtractor> extractor = extractorFor(FeatureOptions());
  cv::RNG rng(20);
  const cv::Size sizes[] = {{640, 480}, {333, 251}, {320, 240}, {1280, 720}, {24, 70000}};
  std::vector<uint8_t> covered;
  int windowsCoveredSeen = 0;
  for (const cv::Size& size : sizes) {
    for (int round = 0; round < 4; ++round) {
      cv::Mat small(12, 16, CV_8UC1, cv::Scalar(0));
      cv::rectangle(small, cv::Rect(rng.uniform(0, 10), rng.uniform(2, 8), 5, 6), 255, cv::FILLED);
      small.at<uchar>(rng.uniform(0, 12), rng.uniform(0, 16)) = 128;
      small.at<uchar>(rng.uniform(0, 12), rng.uniform(0, 16)) = 127;
      cv::Mat mask;
      cv::resize(small, mask, size, 0, 0, cv::INTER_NEAREST);
      if (round == 2) rng.fill(mask, cv::RNG::UNIFORM, 0, 256);
      if (round == 3) mask.setTo(255);
      windowsCovered(*extractor, 240, 320, mask, covered);
      const std::vector<uint8_t> reference = referenceCovered(*extractor, 240, 320, mask);
      EXPECT_EQ(covered, reference) << size << " round " << round;
      windowsCoveredSeen += std::count(reference.begin(), reference.end(), 1);
    }
  }
  EXPECT_GT(windowsCoveredSeen, 0);
  windowsCovered(*extractor, 240, 320, cv::Mat(), covered);
  EXPECT_EQ(std::count(covered.begin(), covered.end(), 1), 0);
}

// The covered share of the picture check's cells against the library's area resampling:
// two-valued masks as the pipeline hands them, and any grey levels, on grids that divide the
// mask evenly (summed here) and grids that do not (left to the library).
TEST(CoveredCellShares, EqualTheLibrarysAreaResampling) {
  const cv::Size grid(16, 12);
  // 40 x 40 pixels a cell is the run's screen; 2 x 2 is rounded by the library's own rule.
  const cv::Size sizes[] = {{640, 480}, {1280, 720}, {48, 36},   {32, 24},   {16, 12},
                            {32, 36},   {48, 24},    {333, 251}, {640, 481}, {16, 600}};
  cv::RNG rng(7);
  int covered = 0, partly = 0;
  for (const cv::Size& size : sizes) {
    for (int round = 0; round < 6; ++round) {
      const cv::Mat mask = randomMask(size, round % 2 == 0, rng);
      cv::Mat expected, shares;
      cv::resize(mask, expected, grid, 0, 0, cv::INTER_AREA);
      coveredCellShares(mask, grid, shares);
      ASSERT_EQ(shares.size(), grid);
      ASSERT_EQ(shares.type(), CV_8UC1);
      EXPECT_EQ(cv::norm(shares, expected, cv::NORM_INF), 0) << size << " round " << round;
      covered += cv::countNonZero(expected >= 85);
      partly += cv::countNonZero((expected > 0) & (expected < 255));
    }
  }
  // The masks left cells of every kind.
  EXPECT_GT(covered, 0);
  EXPECT_GT(partly, 0);
}

// Sums over a 40 x 40 cell from none to all of it, every 13th: the rounding of
// sum x (1 / 1600) on both sides of each half, the threshold's 85 among them.
TEST(CoveredCellShares, EqualTheLibraryOverTheSums) {
  const cv::Size grid(1, 1);
  cv::Mat mask(40, 40, CV_8UC1), expected, shares;
  for (int sum = 0; sum <= 1600 * 255; sum += 13) {
    mask.setTo(0);
    cv::Mat flat = mask.reshape(1, 1);
    flat.colRange(0, sum / 255).setTo(255);
    if (sum / 255 < 1600) flat.at<uchar>(0, sum / 255) = static_cast<uchar>(sum % 255);
    cv::resize(mask, expected, grid, 0, 0, cv::INTER_AREA);
    coveredCellShares(mask, grid, shares);
    ASSERT_EQ(shares.at<uchar>(0, 0), expected.at<uchar>(0, 0)) << sum;
  }
}
