#include "video/video_timing.h"

#include <gtest/gtest.h>

using namespace slidetrack;

namespace {

FrameTimeBase base(int num, int den) { return {num, den, true}; }

bool is(FrameTimeBase b, int num, int den) { return b.valid() && b.num == num && b.den == den; }

TEST(VideoTimingTest, TimeBaseFromAverageThenRealRateThenStreamClockTicksCorrected) {
  EXPECT_TRUE(is(correctFrameTimeBase(base(1, 90000)), 1000, 90000));  // 90 per second
  EXPECT_TRUE(is(correctFrameTimeBase(base(1001, 30000)), 1001, 30000));
  EXPECT_TRUE(is(correctFrameTimeBase(base(1, 1000)), 1, 1000));  // only above 1000
  EXPECT_TRUE(is(correctFrameTimeBase(base(2, 90000)), 2, 90000));

  EXPECT_TRUE(is(frameTimeBaseFor(25, 1, 50, 1, 1, 12800), 1, 25));
  EXPECT_TRUE(frameTimeBaseFor(25, 1, 50, 1, 1, 12800).fromFrameRate);
  EXPECT_TRUE(is(frameTimeBaseFor(0, 0, 30000, 1001, 1, 90000), 1001, 30000));
  const FrameTimeBase fromClock = frameTimeBaseFor(0, 1, 0, 0, 1, 90000);
  EXPECT_TRUE(is(fromClock, 1000, 90000) && !fromClock.fromFrameRate);
  EXPECT_FALSE(frameTimeBaseFor(0, 0, 0, 0, 0, 0).valid());
}

TEST(VideoTimingTest, FrameCountsAndTimesRoundHalfUpWithoutOverflow) {
  EXPECT_EQ(frameCountForDuration(60000000, base(1001, 30000)), 1798);  // 1798.2
  EXPECT_EQ(frameCountForDuration(60000000, correctFrameTimeBase(base(1, 90000))), 5400);
  EXPECT_EQ(frameCountForDuration(1020000, base(1, 25)), 26);  // 25.5 rounds up
  EXPECT_EQ(frameCountForDuration(1019999, base(1, 25)), 25);
  EXPECT_EQ(frameCountForDuration(60000000, FrameTimeBase()), 0);
  EXPECT_EQ(frameCountForDuration(INT64_MAX / 2, base(1, 25)), INT32_MAX);

  EXPECT_EQ(frameTimeMicros(1, base(1001, 30000)), 33367);  // 33366.67
  EXPECT_EQ(frameTimeMicros(90, correctFrameTimeBase(base(1, 90000))), 1000000);
  EXPECT_EQ(frameTimeMicros(4000000000u, base(1, 25)), 160000000000000LL);
}

// Timestamps of whole 25 fps pictures are the frame index tests' on real clips.
TEST(VideoTimingTest, NtscTimestampsMapToTheirPictureAndBack) {
  const FrameTimeBase ntsc = base(1001, 30000);
  for (int64_t p : {0, 1, 29, 1797, 100000})
    EXPECT_EQ(pictureNumberAt(timestampOfPicture(p, 3003, 1, 90000, ntsc), 3003, 1, 90000, ntsc),
              p);
  EXPECT_EQ(pictureNumberAt(3003 + 1501, 3003, 1, 90000, ntsc), 0);  // to the nearest
  EXPECT_EQ(pictureNumberAt(3003 + 1503, 3003, 1, 90000, ntsc), 1);
  EXPECT_EQ(pictureNumberAt(0, 3003, 1, 90000, ntsc), -1);  // before the first
}

}  // namespace
