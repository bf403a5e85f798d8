#include "pictures/grey_from_rgb.h"

#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

namespace slidetrack {
namespace {

// Every colour once, then sizes whose last pixels fall short of a vector step.
TEST(GreyFromRgb, GivesTheLibrarysGrey) {
  cv::Mat all(4096, 4096, CV_8UC3);
  for (int i = 0; i < 1 << 24; ++i)
    all.at<cv::Vec3b>(i >> 12, i & 4095) = cv::Vec3b(i & 255, (i >> 8) & 255, i >> 16);
  std::vector<cv::Mat> images{all};
  cv::RNG rng(5);
  for (const int n : {1, 33, 34, 35, 65, 97, 1000}) {
    images.emplace_back(1, n, CV_8UC3);
    rng.fill(images.back(), cv::RNG::UNIFORM, 0, 256);
  }
  for (const cv::Mat& rgb : images) {
    cv::Mat expected, grey(rgb.size(), CV_8UC1);
    cv::cvtColor(rgb, expected, cv::COLOR_RGB2GRAY);
    if (!greyFromRgb(rgb.data, grey.data, rgb.total())) GTEST_SKIP() << "no AVX2";
    ASSERT_EQ(cv::norm(grey, expected, cv::NORM_INF), 0) << rgb.size();
  }
}

}  // namespace
}  // namespace slidetrack
