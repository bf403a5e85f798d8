// A new slide's second look while the camera's exposure adjusts to it: a plain block of a
// colour near the old slide's grey differs less from the old slide than at the first look,
// though nothing there changed between the two looks.

#include <gtest/gtest.h>

#include <vector>

#include <opencv2/imgproc.hpp>

#include "screen_filming.h"

using namespace slidetrack;

namespace {

const cv::Scalar kInk(30, 30, 30);

cv::Mat oldSlide() {
  cv::Mat s(kScreen, CV_8UC3, cv::Scalar::all(230));
  cv::rectangle(s, cv::Rect(0, 0, kScreen.width, 50), cv::Scalar(120, 60, 30), cv::FILLED);
  for (int k = 0; k < 3; ++k)
    cv::putText(s, "a line of the old slide", {40, 110 + 45 * k}, cv::FONT_HERSHEY_SIMPLEX, 1.0,
                kInk, 2, cv::LINE_AA);
  return s;
}

// A pale blue block, 29 grey levels below the background, and two new lines of text.
cv::Mat newSlide() {
  cv::Mat s = oldSlide();
  cv::rectangle(s, cv::Rect(300, 240, 260, 180), cv::Scalar(228, 203, 188), cv::FILLED);
  for (int k = 0; k < 2; ++k)
    cv::putText(s, "a new point", {40, 300 + 45 * k}, cv::FONT_HERSHEY_SIMPLEX, 1.0, kInk, 2,
                cv::LINE_AA);
  return s;
}

// The slide turns at frame 6; from frame 7 on the camera lets in 4 % more light.
std::vector<int> brightening(int unmoved, bool turns = true) {
  ChangeDetectorOptions options;
  options.slideConfirmUnmoved = unmoved;
  const cv::Mat before = oldSlide(), after = turns ? newSlide() : before;
  return filmedRun(options, 12,
                   [&](int t) {
                     return shakenWithNoise(t < 6 ? before : after, 0, 0.3 * (t % 2),
                                            t < 7 ? 1.0 : 1.04);
                   })
      .changes;
}

}  // namespace

TEST(ExposureConfirm, NewSlideWhoseBlockTheExposureBroughtNearTheOldIsNamedWhereItAppears) {
  EXPECT_EQ(brightening(1), std::vector<int>{6});
  // Taken for cells the old slide came back to, the block refutes the first look.
  EXPECT_EQ(brightening(0), std::vector<int>{7});
  EXPECT_TRUE(brightening(1, false).empty()) << "the light alone";
}
