// The rectified frames: the lookup picks the pixels of the warp, and frames taken ahead of the
// loop are the ones the loop would have rectified itself, up to the end of the video.

#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include "app/frames_ahead.h"
#include "app/rectifier.h"
#include "app/settings.h"
#include "run_harness.h"

using namespace slidetrack;

namespace {

// The lookup must pick exactly the pixels of a nearest-neighbour forward warp, and their
// grey must be the library's.
void expectSameAsWarp(Rectifier& r, const cv::Mat& perspective, const cv::Mat& frame,
                      cv::Size screen) {
  cv::Mat fast, bgr, warped, grey, expectedGrey;
  rectifierApply(r, frame, fast, &grey);
  cv::cvtColor(fast, expectedGrey, cv::COLOR_BGR2GRAY);
  EXPECT_EQ(cv::norm(grey, expectedGrey, cv::NORM_INF), 0.0);
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

// Screens inside, filling, upscaled from and reaching out of the frame (black there, as the
// warp's border), and screen rows that do not split into whole groups of eight pixels; each
// through one rectifier on a frame with padded rows, as a decoder may hand it over, then on
// a tight one.
TEST(Rectifier, PicksThePixelsOfTheWarpOnPaddedAndTightFrames) {
  const std::vector<float> inside = {30, 20, 610, 40, 600, 340, 20, 330};
  const struct {
    std::vector<float> corners;
    cv::Size frame, screen;
  } cases[] = {{{300, 110, 985, 130, 965, 640, 315, 620}, {1280, 720}, {640, 480}},
               {{0, 0, 1280, 0, 1280, 720, 0, 720}, {1280, 720}, {640, 480}},
               {{0, 0, 320, 0, 320, 240, 0, 240}, {320, 240}, {640, 480}},
               {{-200, -50, 700, 10, 690, 500, -180, 470}, {640, 360}, {640, 480}},
               {inside, {640, 360}, {37, 23}},
               {inside, {640, 360}, {641, 479}},
               {inside, {640, 360}, {9, 1}}};
  for (const auto& c : cases) {
    const cv::Mat p = perspectiveFromCorners(cv::Mat(c.corners, true).reshape(2, 1), c.screen.width,
                                             c.screen.height);
    Rectifier r;
    rectifierInit(r, p, c.frame, c.screen);
    cv::Mat wide(c.frame.height + 3, c.frame.width + 29, CV_8UC4);
    cv::randu(wide, 0, 256);
    const cv::Mat padded = wide(cv::Rect(5, 2, c.frame.width, c.frame.height));
    expectSameAsWarp(r, p, padded, c.screen);
    expectSameAsWarp(r, p, padded.clone(), c.screen);
  }
}

// Two readers of one talk: one for the frames taken ahead, one to compare with.
class FramesAheadTest : public RunTest {
 protected:
  void open() {
    ASSERT_NO_FATAL_FAILURE(writeTwoSlideTalk(dir_ / "talk.mp4"));
    videoSourceOpen(*ahead, (dir_ / "talk.mp4").string());
    videoSourceOpen(*direct, (dir_ / "talk.mp4").string());
    const cv::Mat corners(1, 4, CV_32FC2, const_cast<cv::Point2f*>(kTalkCorners.data()));
    rectifierInit(rectifier, perspectiveFromCorners(corners, 320, 240), {640, 360}, {320, 240});
  }
  std::unique_ptr<VideoSource> ahead = videoSourceCreate(), direct = videoSourceCreate();
  Rectifier rectifier;
};

TEST_F(FramesAheadTest, TakenAheadAsTheLoopTakesThemAndTheEndToo) {
  ASSERT_NO_FATAL_FAILURE(open());
  FramesAhead taken;
  int asked = 0;
  const auto twice = [&asked] { return ++asked <= 2; };
  framesAheadFill(taken, ahead.get(), rectifier, kUnknownFrameCount, 25, 8, true, twice);
  EXPECT_EQ(taken.frames.size(), 2u);
  // On to the end of the 130 frames: 50 to 125, and 150 not found.
  framesAheadFill(taken, ahead.get(), rectifier, kUnknownFrameCount, 25, 8, true,
                  [] { return true; });
  ASSERT_EQ(taken.frames.size(), 7u);
  cv::Mat bgr, grey, expectedBgr, expectedGrey;
  bool found = true;
  EXPECT_FALSE(framesAheadTake(taken, 25, bgr, &grey, found));
  for (int t = 0; t <= 150; t += 25) {
    ASSERT_TRUE(framesAheadTake(taken, t, bgr, &grey, found)) << t;
    const cv::Mat* frame = videoSourceGetFrame(direct.get(), t);
    ASSERT_EQ(found, frame != nullptr) << t;
    if (!frame) break;
    rectifierApply(rectifier, *frame, expectedBgr, &expectedGrey);
    EXPECT_EQ(cv::norm(bgr, expectedBgr, cv::NORM_INF), 0) << t;
    EXPECT_EQ(cv::norm(grey, expectedGrey, cv::NORM_INF), 0) << t;
  }
  EXPECT_EQ(found, false);
  EXPECT_TRUE(taken.frames.empty());
}

// Where the change decision makes the grey, frames are taken without it.
TEST_F(FramesAheadTest, WithoutTheGreyTheColourAlone) {
  ASSERT_NO_FATAL_FAILURE(open());
  FramesAhead taken;
  int asked = 0;
  framesAheadFill(taken, ahead.get(), rectifier, kUnknownFrameCount, 25, 8, false,
                  [&asked] { return ++asked <= 1; });
  cv::Mat bgr, grey, expectedBgr;
  bool found = false;
  ASSERT_TRUE(framesAheadTake(taken, 0, bgr, &grey, found));
  ASSERT_TRUE(found);
  rectifierApply(rectifier, *videoSourceGetFrame(direct.get(), 0), expectedBgr, nullptr);
  EXPECT_EQ(cv::norm(bgr, expectedBgr, cv::NORM_INF), 0);
  EXPECT_TRUE(grey.empty());
}

}  // namespace
