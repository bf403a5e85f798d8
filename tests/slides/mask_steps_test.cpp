// The mask steps give the library's bytes: packed erosion and dilation and the opening and
// closing made of them, a mask's majority (its box filter thresholded, which for a binary mask
// is its median), and the picture taking the screen where the work-size map says.

#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include "images.h"
#include "lecture_scene.h"
#include "slides/mask_majority.h"
#include "slides/packed_morphology.h"
#include "slides/taken_copy.h"

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

const cv::Mat kOpen = cv::getStructuringElement(cv::MORPH_RECT, cv::Size(5, 5));
const cv::Mat kClose = cv::getStructuringElement(cv::MORPH_ELLIPSE, cv::Size(9, 9));
const std::vector<cv::Mat> kKernels = {
    kOpen,
    kClose,
    cv::getStructuringElement(cv::MORPH_RECT, cv::Size(3, 7)),
    cv::getStructuringElement(cv::MORPH_CROSS, cv::Size(5, 3)),
    cv::getStructuringElement(cv::MORPH_ELLIPSE, cv::Size(13, 13)),
    cv::getStructuringElement(cv::MORPH_RECT, cv::Size(31, 31))};

// The plain way: the map brought to the screen's size, then a masked copy.
cv::Mat copiedPlainly(const cv::Mat& screen, const cv::Mat& taken, const cv::Mat& before) {
  cv::Mat seen, picture = before.clone();
  cv::resize(taken, seen, screen.size(), 0, 0, cv::INTER_NEAREST);
  screen.copyTo(picture, seen);
  return picture;
}

}  // namespace

// Packed erosion, dilation and the opening and closing made of them give the library's bytes.
TEST(PackedMorphology, ErodesDilatesOpensAndClosesAsTheLibrary) {
  cv::RNG rng(11);
  for (const cv::Size& size : kSizes)
    for (double density : {0.05, 0.5, 0.95})
      for (const cv::Mat& kernel : kKernels) {
        const cv::Mat mask = noisyMask(rng, size, density);
        KernelRuns runs;
        ASSERT_TRUE(kernelRunsOf(kernel, runs));
        for (bool dilating : {false, true}) {
          cv::Mat expected, got;
          dilating ? cv::dilate(mask, expected, kernel) : cv::erode(mask, expected, kernel);
          PackedMask packed;
          ASSERT_TRUE(packed.load(mask));
          dilating ? packed.dilate(runs) : packed.erode(runs);
          packed.store(got);
          EXPECT_EQ(cv::norm(expected, got, cv::NORM_INF), 0)
              << size << " density " << density << " kernel " << kernel.size() << " dilating "
              << dilating;
        }
        // Opened with this kernel, then closed.
        cv::Mat expected, got = mask.clone();
        cv::morphologyEx(mask, expected, cv::MORPH_OPEN, kernel);
        cv::morphologyEx(expected, expected, cv::MORPH_CLOSE, kClose);
        ASSERT_TRUE(packedOpenClose(got, kernel, kClose));
        EXPECT_EQ(cv::norm(expected, got, cv::NORM_INF), 0)
            << size << " density " << density << " opened with " << kernel.size();
      }
}

TEST(PackedMorphology, GrowsAPartOfAMaskClearAllRound) {
  cv::RNG rng(13);
  cv::Mat whole = cv::Mat::zeros(120, 200, CV_8UC1);
  const cv::Rect box(50, 40, 70, 60), around(46, 36, 78, 68);
  noisyMask(rng, box.size(), 0.3).copyTo(whole(box));
  ASSERT_GT(cv::countNonZero(whole), 1000);
  cv::Mat expected, shrunk, part = whole(around);
  cv::dilate(part, expected, kClose);
  ASSERT_TRUE(packedDilate(part, kClose, part));
  EXPECT_EQ(cv::norm(expected, part, cv::NORM_INF), 0);
  // And an erosion into another mask, as the library's.
  cv::erode(whole, expected, kClose);
  ASSERT_TRUE(packedErode(whole, kClose, shrunk));
  EXPECT_EQ(cv::norm(expected, shrunk, cv::NORM_INF), 0);
}

TEST(PackedMorphology, LeavesWhatItCannotPackToTheCaller) {
  // A grey value among the mask's, in the vector part and in the tail.
  for (int x : {3, 69}) {
    cv::Mat mask = cv::Mat::zeros(10, 70, CV_8UC1);
    mask.at<unsigned char>(4, x) = 7;
    const cv::Mat before = mask.clone();
    EXPECT_FALSE(packedOpenClose(mask, kOpen, kClose));
    EXPECT_EQ(cv::norm(before, mask, cv::NORM_INF), 0);
  }
  // A kernel whose runs are off its centre, and one of even width.
  cv::Mat skewed = cv::Mat::zeros(3, 3, CV_8UC1);
  skewed.at<unsigned char>(1, 2) = 1;
  KernelRuns runs;
  EXPECT_FALSE(kernelRunsOf(skewed, runs));
  EXPECT_FALSE(kernelRunsOf(cv::Mat::ones(3, 4, CV_8UC1), runs));
}

// A mask's majority gives the bytes of its box filter thresholded, which for a binary mask is
// its median.
TEST(MaskMajority, AsTheBoxFilterThresholded) {
  cv::RNG rng(8);
  // Sizes smaller than the square, odd and even ones, and work images'; sparse to dense.
  for (const cv::Size& size :
       {cv::Size(1, 1), cv::Size(3, 2), cv::Size(4, 4), cv::Size(2, 7), cv::Size(17, 9),
        cv::Size(31, 5), cv::Size(320, 240), cv::Size(640, 480)})
    for (double density : {0.05, 0.3, 0.5, 0.7, 0.95})
      for (int side : {3, 5, 7, 15}) {
        cv::Mat mask = noisyMask(rng, size, density), box, majority;
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

// The picture takes the screen where the work-size map says, as the masked copy does.
TEST(TakenCopy, AsTheMaskedCopy) {
  const cv::Mat screen = drawSlide(2, cv::Size(640, 480));
  // A screen not twice the map's size takes the masked copy itself.
  const cv::Mat odd = drawSlide(3, cv::Size(641, 480));
  cv::RNG rng(3);
  for (int k = 0; k < 7; ++k) {
    // Long runs with the speaker's shape cut out, speckle, a row ending in a run, and maps
    // all taken or none, with taken bytes other than 255 too.
    cv::Mat taken(240, 320, CV_8UC1, cv::Scalar(k == 4 ? 0 : 255));
    if (k < 4 || k == 6) {
      cv::rectangle(taken, cv::Rect(100 + 30 * k, 60, 70, 180), cv::Scalar(0), cv::FILLED);
      cv::circle(taken, {135 + 30 * k, 50}, 20 + k, cv::Scalar(0), cv::FILLED);
      for (int i = 0; i < 400 * k; ++i)
        taken.at<uchar>(rng.uniform(0, 240), rng.uniform(0, 320)) = uchar(rng.uniform(0, 2) * 90);
      taken.col(319).setTo(k % 2 ? 0 : 1);
    }
    const cv::Mat& shown = k == 6 ? odd : screen;
    cv::Mat seen, picture(shown.size(), CV_8UC3, cv::Scalar(7, 77, 177));
    const cv::Mat expected = copiedPlainly(shown, taken, picture);
    copyWhereTaken(shown, taken, seen, picture);
    EXPECT_TRUE(sameImage(picture, expected)) << k;
    // Something was left out of the picture, something taken.
    EXPECT_TRUE(k == 4 || k == 5 || !sameImage(picture, shown)) << k;
  }
}
