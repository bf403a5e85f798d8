// The extractor's working images are made once per image size.
#include <gtest/gtest.h>

#include <opencv2/core.hpp>

#include "grad_dist.h"
#include "gradient_pyramid.h"

namespace {

cv::Mat noise(int rows, int cols, int seed) {
  cv::Mat image(rows, cols, CV_8UC1);
  cv::RNG rng(seed);
  rng.fill(image, cv::RNG::UNIFORM, 0, 256);
  return image;
}

std::vector<const uchar*> slotData(const GradientPyramid& pyramid) {
  std::vector<const uchar*> data;
  for (const auto& level : pyramid.levels)
    for (const cv::Mat& slot : level) data.push_back(slot.data);
  return data;
}

}  // namespace

TEST(GradientPyramid, SameSizeReusesEveryImage) {
  auto e = zorGllfGradDistCreate();
  zorGllfGradDistInit(e.get(), 2, 8, 0.31075269f, 31);
  cv::Mat features(825, 8, CV_32FC1);
  ASSERT_NE(zorGllfGradDistExtract(e.get(), noise(240, 320, 1), &features), nullptr);
  ASSERT_NE(e->pyramid, nullptr);
  const GradientPyramid* first = e->pyramid.get();
  const auto before = slotData(*first);
  ASSERT_EQ(before.size(), 10u);
  const cv::Mat copy = features.clone();
  ASSERT_NE(zorGllfGradDistExtract(e.get(), noise(240, 320, 2), &features), nullptr);
  EXPECT_EQ(e->pyramid.get(), first);
  EXPECT_EQ(slotData(*e->pyramid), before);
  EXPECT_GT(cv::norm(features, copy), 0.0);  // the new image was really processed
  EXPECT_TRUE(e->features.empty());          // an output was given every time
}

TEST(GradientPyramid, OtherSizeOrLevelCountRemakesImages) {
  std::unique_ptr<GradientPyramid> pyramid;
  ASSERT_NE(gradientPyramidCompute(pyramid, noise(64, 80, 1), 2, 3), nullptr);
  ASSERT_NE(gradientPyramidCompute(pyramid, noise(50, 30, 1), 2, 3), nullptr);
  ASSERT_EQ(pyramid->levels.size(), 2u);
  for (int i = 0; i < 2; ++i) {
    for (const cv::Mat& slot : pyramid->levels[i]) {
      EXPECT_EQ(slot.size(), cv::Size(30 >> i, 50 >> i));
      EXPECT_EQ(slot.type(), CV_32FC1);
    }
  }
  ASSERT_NE(gradientPyramidCompute(pyramid, noise(50, 30, 1), 3, 3), nullptr);
  ASSERT_EQ(pyramid->levels.size(), 3u);
  EXPECT_EQ(pyramid->levels[2][kAngle].size(), cv::Size(7, 12));  // odd sizes halve down
  EXPECT_EQ(gradientPyramidCompute(pyramid, cv::Mat(), 2, 3), nullptr);
}

TEST(GradientPyramid, LevelsHoldImageGradientsAndPolarForm) {
  cv::Mat ramp(32, 32, CV_8UC1);
  for (int x = 0; x < 32; ++x) ramp.col(x).setTo(4 * x);
  std::unique_ptr<GradientPyramid> pyramid;
  ASSERT_NE(gradientPyramidCompute(pyramid, ramp, 2, 3), nullptr);
  const auto& level0 = pyramid->levels[0];
  EXPECT_FLOAT_EQ(level0[kLevelImage].at<float>(5, 10), 40.0f);
  EXPECT_FLOAT_EQ(level0[kGradX].at<float>(5, 10), 32.0f);  // Sobel 3: 8 x slope
  EXPECT_FLOAT_EQ(level0[kGradY].at<float>(5, 10), 0.0f);
  EXPECT_FLOAT_EQ(level0[kMagnitude].at<float>(5, 10), 32.0f);
  EXPECT_FLOAT_EQ(level0[kAngle].at<float>(5, 10), 0.0f);
  // Half resolution doubles the slope per pixel.
  EXPECT_NEAR(pyramid->levels[1][kGradX].at<float>(8, 8), 64.0f, 1e-3);
}
