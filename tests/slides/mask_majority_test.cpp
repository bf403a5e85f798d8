// A mask's majority gives the bytes of its box filter thresholded, which for a binary mask is
// its median.
#include "slides/mask_majority.h"

#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

using namespace slidetrack;

TEST(MaskMajority, AsTheBoxFilterThresholded) {
  cv::RNG rng(8);
  // Sizes smaller than the square, odd and even ones, and work images'; sparse to dense.
  for (const cv::Size& size :
       {cv::Size(1, 1), cv::Size(3, 2), cv::Size(4, 4), cv::Size(2, 7), cv::Size(17, 9),
        cv::Size(31, 5), cv::Size(320, 240), cv::Size(640, 480)})
    for (double density : {0.05, 0.3, 0.5, 0.7, 0.95})
      for (int side : {3, 5, 7, 15}) {
        cv::Mat noise(size, CV_32F), mask;
        rng.fill(noise, cv::RNG::UNIFORM, 0.0, 1.0);
        cv::compare(noise, density, mask, cv::CMP_LT);
        // A solid block too, as a shirt gives.
        if (size.width > 10) mask(cv::Rect(2, 2, size.width / 2, size.height / 2)).setTo(255);
        cv::Mat box, majority;
        cv::blur(mask, box, cv::Size(side, side), cv::Point(-1, -1), cv::BORDER_REPLICATE);
        cv::threshold(box, box, 127, 255, cv::THRESH_BINARY);
        maskMajority(mask, side, majority);
        EXPECT_EQ(cv::norm(box, majority, cv::NORM_INF), 0)
            << size << " density " << density << " side " << side;
        // In place too.
        maskMajority(mask, side, mask);
        EXPECT_EQ(cv::norm(box, mask, cv::NORM_INF), 0) << size << " in place, side " << side;
      }
}
