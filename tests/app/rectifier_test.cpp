#include "app/rectifier.h"

#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include "app/settings.h"

using namespace slidetrack;

namespace {

// The lookup must pick exactly the pixels of a nearest-neighbour forward warp.
void expectSameAsWarp(Rectifier& r, const cv::Mat& perspective, const cv::Mat& frame,
                      cv::Size screen) {
  cv::Mat fast, bgr, warped;
  rectifierApply(r, frame, fast);
  cv::cvtColor(frame, bgr, cv::COLOR_BGRA2BGR);
  cv::warpPerspective(bgr, warped, perspective, screen, cv::INTER_NEAREST, cv::BORDER_CONSTANT,
                      cv::Scalar::all(0));
  ASSERT_EQ(fast.type(), CV_8UC3);
  ASSERT_EQ(fast.size(), screen);
  EXPECT_EQ(cv::norm(fast, warped, cv::NORM_INF), 0.0);
  // Only the source area is read: what lies outside it cannot change the screen.
  ASSERT_EQ(r.sourceArea & cv::Rect(cv::Point(), frame.size()), r.sourceArea);
  cv::Mat other(frame.size(), frame.type()), again;
  cv::randu(other, 0, 256);
  frame(r.sourceArea).copyTo(other(r.sourceArea));
  rectifierApply(r, other, again);
  EXPECT_EQ(cv::norm(fast, again, cv::NORM_INF), 0.0);
}

void expectSameAsWarp(const cv::Mat& perspective, cv::Size frameSize,
                      cv::Size screen = {640, 480}) {
  cv::Mat frame(frameSize, CV_8UC4);
  cv::randu(frame, 0, 256);
  Rectifier r;
  rectifierInit(r, perspective, frameSize, screen);
  expectSameAsWarp(r, perspective, frame, screen);
}

cv::Mat fromCorners(std::initializer_list<float> xy, cv::Size screen = {640, 480}) {
  cv::Mat corners(1, 4, CV_32FC2);
  std::copy(xy.begin(), xy.end(), corners.ptr<float>());
  return perspectiveFromCorners(corners, screen.width, screen.height);
}

TEST(Rectifier, PicksThePixelsOfTheWarp) {
  expectSameAsWarp(fromCorners({300, 110, 985, 130, 965, 640, 315, 620}), {1280, 720});
  expectSameAsWarp(fromCorners({0, 0, 1280, 0, 1280, 720, 0, 720}), {1280, 720});
  expectSameAsWarp(fromCorners({0, 0, 320, 0, 320, 240, 0, 240}), {320, 240});  // upscaling
  // A screen partly outside the frame is black there, as the warp's border.
  expectSameAsWarp(fromCorners({-200, -50, 700, 10, 690, 500, -180, 470}), {640, 360});
}

// Frames whose rows are padded, as a decoder may hand them over, and screen rows that do
// not split into whole groups of eight pixels.
TEST(Rectifier, PaddedFramesAndOddScreenWidths) {
  const cv::Size frameSize(640, 360);
  for (const cv::Size screen : {cv::Size(37, 23), cv::Size(641, 479), cv::Size(9, 1)}) {
    const cv::Mat p = fromCorners({30, 20, 610, 40, 600, 340, 20, 330}, screen);
    Rectifier r;
    rectifierInit(r, p, frameSize, screen);
    cv::Mat wide(frameSize.height + 3, frameSize.width + 29, CV_8UC4);
    cv::randu(wide, 0, 256);
    const cv::Mat padded = wide(cv::Rect(5, 2, frameSize.width, frameSize.height));
    cv::Mat tight;
    padded.copyTo(tight);
    // The same rectifier first with one row stride, then with another.
    expectSameAsWarp(r, p, padded, screen);
    expectSameAsWarp(r, p, tight, screen);
  }
}

}  // namespace
