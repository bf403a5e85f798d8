// Packed erosion, dilation and the opening and closing made of them give the library's bytes.
#include "slides/packed_morphology.h"

#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

using namespace slidetrack;

namespace {

cv::Mat noisyMask(cv::RNG& rng, cv::Size size, double density) {
  cv::Mat noise(size, CV_32F), mask;
  rng.fill(noise, cv::RNG::UNIFORM, 0.0, 1.0);
  cv::compare(noise, density, mask, cv::CMP_LT);
  // Solid blocks too, touching the edges, as a body standing on the bottom edge does.
  if (size.width > 8 && size.height > 8) {
    mask(cv::Rect(size.width / 3, size.height / 2, size.width / 4, size.height / 2)).setTo(255);
    mask(cv::Rect(0, 0, size.width / 5, size.height / 3)).setTo(0);
  }
  return mask;
}

const std::vector<cv::Size> kSizes = {cv::Size(1, 1),   cv::Size(5, 3),    cv::Size(16, 9),
                                      cv::Size(63, 7),  cv::Size(64, 20),  cv::Size(65, 33),
                                      cv::Size(130, 4), cv::Size(320, 240)};

std::vector<cv::Mat> kernels() {
  return {cv::getStructuringElement(cv::MORPH_RECT, cv::Size(5, 5)),
          cv::getStructuringElement(cv::MORPH_ELLIPSE, cv::Size(9, 9)),
          cv::getStructuringElement(cv::MORPH_RECT, cv::Size(3, 7)),
          cv::getStructuringElement(cv::MORPH_CROSS, cv::Size(5, 3)),
          cv::getStructuringElement(cv::MORPH_ELLIPSE, cv::Size(13, 13)),
          cv::getStructuringElement(cv::MORPH_RECT, cv::Size(31, 31))};
}

}  // namespace

TEST(PackedMorphology, ErodesAndDilatesAsTheLibrary) {
  cv::RNG rng(11);
  for (const cv::Size& size : kSizes)
    for (double density : {0.05, 0.5, 0.95})
      for (const cv::Mat& kernel : kernels()) {
        const cv::Mat mask = noisyMask(rng, size, density);
        KernelRuns runs;
        ASSERT_TRUE(kernelRunsOf(kernel, runs));
        for (bool dilating : {false, true}) {
          cv::Mat expected, got;
          if (dilating)
            cv::dilate(mask, expected, kernel);
          else
            cv::erode(mask, expected, kernel);
          PackedMask packed;
          ASSERT_TRUE(packed.load(mask));
          if (dilating)
            packed.dilate(runs);
          else
            packed.erode(runs);
          packed.store(got);
          EXPECT_EQ(cv::norm(expected, got, cv::NORM_INF), 0)
              << size << " density " << density << " kernel " << kernel.size() << " dilating "
              << dilating;
        }
      }
}

TEST(PackedMorphology, OpensThenClosesAsTheLibrary) {
  cv::RNG rng(12);
  const cv::Mat open = cv::getStructuringElement(cv::MORPH_RECT, cv::Size(5, 5));
  const cv::Mat close = cv::getStructuringElement(cv::MORPH_ELLIPSE, cv::Size(9, 9));
  for (const cv::Size& size : kSizes)
    for (double density : {0.1, 0.6, 0.9}) {
      const cv::Mat mask = noisyMask(rng, size, density);
      cv::Mat expected;
      cv::morphologyEx(mask, expected, cv::MORPH_OPEN, open);
      cv::morphologyEx(expected, expected, cv::MORPH_CLOSE, close);
      cv::Mat got = mask.clone();
      ASSERT_TRUE(packedOpenClose(got, open, close));
      EXPECT_EQ(cv::norm(expected, got, cv::NORM_INF), 0) << size << " density " << density;
    }
}

TEST(PackedMorphology, GrowsAPartOfAMaskClearAllRound) {
  cv::RNG rng(13);
  const cv::Mat close = cv::getStructuringElement(cv::MORPH_ELLIPSE, cv::Size(9, 9));
  cv::Mat whole = cv::Mat::zeros(120, 200, CV_8UC1);
  const cv::Rect box(50, 40, 70, 60), around(46, 36, 78, 68);
  noisyMask(rng, box.size(), 0.3).copyTo(whole(box));
  ASSERT_GT(cv::countNonZero(whole), 1000);
  cv::Mat expected, shrunk, part = whole(around);
  cv::dilate(part, expected, close);
  ASSERT_TRUE(packedDilate(part, close, part));
  EXPECT_EQ(cv::norm(expected, part, cv::NORM_INF), 0);
  // And an erosion into another mask, as the library's.
  cv::erode(whole, expected, close);
  ASSERT_TRUE(packedErode(whole, close, shrunk));
  EXPECT_EQ(cv::norm(expected, shrunk, cv::NORM_INF), 0);
}

TEST(PackedMorphology, LeavesWhatItCannotPackToTheCaller) {
  const cv::Mat open = cv::getStructuringElement(cv::MORPH_RECT, cv::Size(5, 5));
  const cv::Mat close = cv::getStructuringElement(cv::MORPH_ELLIPSE, cv::Size(9, 9));
  // A grey value among the mask's, in the vector part and in the tail.
  for (int x : {3, 69}) {
    cv::Mat mask = cv::Mat::zeros(10, 70, CV_8UC1);
    mask.at<unsigned char>(4, x) = 7;
    const cv::Mat before = mask.clone();
    EXPECT_FALSE(packedOpenClose(mask, open, close));
    EXPECT_EQ(cv::norm(before, mask, cv::NORM_INF), 0);
  }
  // A kernel whose runs are off its centre, and one of even width.
  cv::Mat skewed = cv::Mat::zeros(3, 3, CV_8UC1);
  skewed.at<unsigned char>(1, 2) = 1;
  KernelRuns runs;
  EXPECT_FALSE(kernelRunsOf(skewed, runs));
  EXPECT_FALSE(kernelRunsOf(cv::Mat::ones(3, 4, CV_8UC1), runs));
}
