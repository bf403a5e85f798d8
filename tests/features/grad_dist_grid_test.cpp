// Grid arithmetic and row layout of the feature matrix.
#include <gtest/gtest.h>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "grad_dist.h"

namespace {

cv::Mat texture(int rows, int cols) {
  cv::Mat image(rows, cols, CV_8UC1);
  cv::RNG rng(7);
  rng.fill(image, cv::RNG::UNIFORM, 0, 256);
  cv::GaussianBlur(image, image, cv::Size(3, 3), 0.8);
  return image;
}

bool rowIsZero(const cv::Mat& m, int r) { return cv::countNonZero(m.row(r)) == 0; }

std::unique_ptr<GradDistExtractor> extractor(int levels, int bins, float ratio, int window) {
  auto e = zorGllfGradDistCreate();
  EXPECT_EQ(zorGllfGradDistInit(e.get(), levels, bins, ratio, window), 1);
  return e;
}

}  // namespace

TEST(GradDistGrid, NoneExtractorAndWindowSizeFloor) {
  EXPECT_EQ(zorGllfGradDistInit(nullptr, 2, 8, 0.5f, 31), -1);
  EXPECT_EQ(zorGllfGradDistGetSize(nullptr, 240, 320, -1), 0);
  EXPECT_EQ(zorGllfGradDistGetLength(nullptr), 0);
  EXPECT_EQ(zorGllfGradDistExtract(nullptr, texture(64, 64), nullptr), nullptr);
  for (int size : {0, 1}) {
    auto e = extractor(2, 8, 0.5f, size);
    EXPECT_EQ(e->windowSize, 1);
    EXPECT_EQ(e->weight->mask.size(), cv::Size(1, 1));
  }
  std::unique_ptr<GradDistExtractor> none;
  zorGllfGradDistRelease(none);
  auto e = extractor(2, 8, 0.5f, 31);
  zorGllfGradDistRelease(e);
  EXPECT_EQ(e, nullptr);
}

TEST(GradDistGrid, DefaultSettingsGrid) {
  // The float32 ratio the run derives from the defaults lies just above 289/930.
  auto e = extractor(2, 8, 0.31075269f, 31);
  int rows = 0, cols = 0;
  double step = 0;
  EXPECT_EQ(zorGllfGradDistGetSize(e.get(), 240, 320, -1, &rows, &cols, &step), 825);
  EXPECT_EQ(rows, 22);
  EXPECT_EQ(cols, 30);
  EXPECT_NEAR(step, 9.6333334, 1e-6);
  EXPECT_EQ(zorGllfGradDistGetSize(e.get(), 240, 320, 0), 660);
  EXPECT_EQ(zorGllfGradDistGetSize(e.get(), 240, 320, 1), 165);
  EXPECT_EQ(zorGllfGradDistGetLength(e.get()), 8);

  cv::Mat features(825, 8, CV_32FC1, cv::Scalar(5));
  ASSERT_EQ(zorGllfGradDistExtract(e.get(), texture(240, 320), &features), &features);
  for (int r = 0; r < 660; ++r) EXPECT_FALSE(rowIsZero(features, r)) << r;
  int computed = 0;
  for (int r = 660; r < 825; ++r) {
    const int cx = (r - 660) % 15, ry = (r - 660) / 15;
    const bool inside = cx < 14 && ry < 10;  // x <= 128 and y <= 88 in the 160 x 120 level
    EXPECT_EQ(!rowIsZero(features, r), inside) << r;
    computed += inside;
  }
  EXPECT_EQ(computed, 140);
}

TEST(GradDistGrid, WindowsEndingOnTheBorderAreSkipped) {
  auto e = extractor(2, 8, 0.5f, 32);
  int rows = 0, cols = 0;
  ASSERT_EQ(zorGllfGradDistGetSize(e.get(), 64, 64, -1, &rows, &cols), 11);
  EXPECT_EQ(rows, 3);
  EXPECT_EQ(cols, 3);
  cv::Mat* features = zorGllfGradDistExtract(e.get(), texture(64, 64), nullptr);
  ASSERT_NE(features, nullptr);
  EXPECT_EQ(features, &e->features);
  ASSERT_EQ(features->size(), cv::Size(8, 11));
  for (int r = 0; r < 11; ++r) {
    const bool computed = r == 0 || r == 1 || r == 3 || r == 4;
    EXPECT_EQ(!rowIsZero(*features, r), computed) << r;
  }
}

TEST(GradDistGrid, SurplusRowsStayZeroAtTheEnd) {
  auto e = extractor(2, 8, 1.0f, 1);
  int rows = 0, cols = 0;
  ASSERT_EQ(zorGllfGradDistGetSize(e.get(), 37, 50, -1, &rows, &cols), 2312);
  EXPECT_EQ(rows, 37);
  EXPECT_EQ(cols, 50);
  cv::Mat* features = zorGllfGradDistExtract(e.get(), texture(37, 50), nullptr);
  ASSERT_NE(features, nullptr);
  EXPECT_FALSE(rowIsZero(*features, 1850));  // first level-1 window
  EXPECT_FALSE(rowIsZero(*features, 1850 + 449 - 26));
  for (int r = 1850 + 450; r < 2312; ++r) EXPECT_TRUE(rowIsZero(*features, r)) << r;
}

TEST(GradDistGrid, OutputOfWrongShapeIsLeftUntouched) {
  auto e = extractor(2, 8, 0.5f, 32);
  for (cv::Mat wrong :
       {cv::Mat(10, 8, CV_32FC1, cv::Scalar(3)), cv::Mat(11, 7, CV_32FC1, cv::Scalar(3)),
        cv::Mat(11, 8, CV_64FC1, cv::Scalar(3))}) {
    EXPECT_EQ(zorGllfGradDistExtract(e.get(), texture(64, 64), &wrong), nullptr);
    EXPECT_EQ(cv::countNonZero(wrong.reshape(1) != 3), 0);
  }
  // Images that cannot give features.
  EXPECT_EQ(zorGllfGradDistExtract(e.get(), cv::Mat(), nullptr), nullptr);
  EXPECT_EQ(zorGllfGradDistExtract(e.get(), cv::Mat(64, 64, CV_8UC3), nullptr), nullptr);
  EXPECT_EQ(zorGllfGradDistExtract(e.get(), texture(20, 20), nullptr), nullptr);
  int rows = -5, cols = -5;
  EXPECT_EQ(zorGllfGradDistGetSize(e.get(), 8, 8, -1, &rows, &cols), 0);
  EXPECT_EQ(rows, 0);
  EXPECT_EQ(cols, 0);
  EXPECT_EQ(zorGllfGradDistExtract(e.get(), texture(8, 8), nullptr), nullptr);
  auto uninitialised = zorGllfGradDistCreate();
  EXPECT_EQ(zorGllfGradDistExtract(uninitialised.get(), texture(64, 64), nullptr), nullptr);
}

TEST(GradDistGrid, RowsAreUnitOrZeroAndUniformImagesGiveZero) {
  auto e = extractor(2, 8, 0.31075269f, 31);
  cv::Mat features(825, 8, CV_32FC1);
  ASSERT_NE(zorGllfGradDistExtract(e.get(), texture(240, 320), &features), nullptr);
  for (int r = 0; r < features.rows; ++r) {
    const double length = cv::norm(features.row(r));
    if (length != 0) {
      EXPECT_NEAR(length, 1.0, 1e-5) << r;
    }
  }
  cv::Mat flat(240, 320, CV_8UC1, cv::Scalar(128));
  ASSERT_NE(zorGllfGradDistExtract(e.get(), flat, &features), nullptr);
  EXPECT_EQ(cv::countNonZero(features), 0);
}
