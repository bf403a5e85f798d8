// The picture takes the screen where the work-size map says, as the masked copy does.
#include "slides/taken_copy.h"

#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include "images.h"
#include "lecture_scene.h"

using namespace slidetrack;

namespace {

// The plain way: the map brought to the screen's size, then a masked copy.
cv::Mat copiedPlainly(const cv::Mat& screen, const cv::Mat& taken, const cv::Mat& before) {
  cv::Mat seen, picture = before.clone();
  cv::resize(taken, seen, screen.size(), 0, 0, cv::INTER_NEAREST);
  screen.copyTo(picture, seen);
  return picture;
}

}  // namespace

TEST(TakenCopy, AsTheMaskedCopy) {
  const cv::Mat screen = drawSlide(2, cv::Size(640, 480));
  const cv::Mat before(screen.size(), CV_8UC3, cv::Scalar(7, 77, 177));
  cv::RNG rng(3);
  for (int k = 0; k < 6; ++k) {
    // Long runs with the speaker's shape cut out, speckle, a row ending in a run, and maps
    // all taken or none, with taken bytes other than 255 too.
    cv::Mat taken(240, 320, CV_8UC1, cv::Scalar(k == 4 ? 0 : 255));
    if (k < 4) {
      cv::rectangle(taken, cv::Rect(100 + 30 * k, 60, 70, 180), cv::Scalar(0), cv::FILLED);
      cv::circle(taken, {135 + 30 * k, 50}, 20 + k, cv::Scalar(0), cv::FILLED);
      for (int i = 0; i < 400 * k; ++i)
        taken.at<uchar>(rng.uniform(0, 240), rng.uniform(0, 320)) = uchar(rng.uniform(0, 2) * 90);
      taken.col(319).setTo(k % 2 ? 0 : 1);
    }
    cv::Mat seen, picture = before.clone();
    copyWhereTaken(screen, taken, seen, picture);
    EXPECT_TRUE(sameImage(picture, copiedPlainly(screen, taken, before))) << k;
    // Something was left out of the picture, something taken.
    if (k < 4) {
      EXPECT_FALSE(sameImage(picture, screen)) << k;
    }
  }
  // A screen not twice the map's size takes the masked copy itself.
  const cv::Mat odd = drawSlide(3, cv::Size(641, 480));
  cv::Mat taken(240, 320, CV_8UC1, cv::Scalar(255)), seen;
  cv::rectangle(taken, cv::Rect(10, 10, 50, 50), cv::Scalar(0), cv::FILLED);
  cv::Mat picture(odd.size(), CV_8UC3, cv::Scalar(1, 2, 3));
  const cv::Mat expected = copiedPlainly(odd, taken, picture);
  copyWhereTaken(odd, taken, seen, picture);
  EXPECT_TRUE(sameImage(picture, expected));
}
