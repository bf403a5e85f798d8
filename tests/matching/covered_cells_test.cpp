// The covered share of the picture check's cells against the library's area resampling:
// two-valued masks as the pipeline hands them, and any grey levels, on grids that divide the
// mask evenly (summed here) and grids that do not (left to the library).
#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include "matching/covered_cells.h"

using namespace slidetrack;

namespace {

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
