// Pictures kept only for comparing leave what was never seen unfilled; filled later, they
// are the pictures a run that shows them gets.
#include <gtest/gtest.h>

#include <algorithm>

#include "images.h"
#include "lecture_scene.h"
#include "screen_filming.h"
#include "slides/clean_slide.h"
#include "slides/robust_change.h"

using namespace slidetrack;

namespace {

// Someone walking in, then standing in front of the screen through a slide change.
cv::Mat frameAt(int t) {
  cv::Mat screen = drawSlide(t < 8 ? 1 : 2, kScreen);
  drawSpeaker(screen, std::min(180, -60 + 60 * t));
  return filmed(screen, t, true);
}

}  // namespace

TEST(UnfilledPicture, FilledLaterIsTheShownPicture) {
  cv::theRNG().state = 0xffffffffu;
  ChangeDetectorOptions options;
  RobustChangeDetector shown(options), compared(options);
  compared.fillPictures(false);
  int changes = 0, unfilled = 0;
  for (int t = 0; t < 16; ++t) {
    const cv::Mat frame = frameAt(t);
    const bool changed = shown.process(frame).changed;
    ASSERT_EQ(compared.process(frame).changed, changed) << t;
    cv::Mat filled;
    if (changed) {
      ++changes;
      ASSERT_TRUE(sameImage(compared.endedUnseen(), shown.endedUnseen())) << t;
      filledPicture(compared.endedPicture(), compared.endedUnseen(), filled);
      EXPECT_TRUE(sameImage(filled, shown.endedPicture())) << t;
    }
    ASSERT_TRUE(sameImage(compared.unseenMask(), shown.unseenMask())) << t;
    filledPicture(compared.slidePicture(), compared.unseenMask(), filled);
    EXPECT_TRUE(sameImage(filled, shown.slidePicture())) << t;
    unfilled += !sameImage(compared.slidePicture(), shown.slidePicture());
  }
  EXPECT_EQ(changes, 1);
  // He hid part of the new slide: there was something to fill.
  EXPECT_GT(unfilled, 0);
}
