// Frames taken ahead of the loop are the ones the loop would have rectified itself, up to
// the end of the video.

#include "app/frames_ahead.h"

#include <gtest/gtest.h>

#include "app/settings.h"
#include "run_harness.h"

using namespace slidetrack;

namespace {

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
