#include "video_timing.h"

#include <gtest/gtest.h>

namespace {

FrameTimeBase base(int num, int den) { return {num, den, true}; }

TEST(VideoTimingTest, TickClocksBecomeFrameRatesOthersStay) {
  EXPECT_EQ(correctFrameTimeBase(base(1, 90000)).num, 1000);  // 90 frames per second
  EXPECT_EQ(correctFrameTimeBase(base(1, 90000)).den, 90000);
  EXPECT_EQ(correctFrameTimeBase(base(1001, 30000)).num, 1001);
  EXPECT_EQ(correctFrameTimeBase(base(1, 25)).num, 1);
  EXPECT_EQ(correctFrameTimeBase(base(1, 1000)).num, 1);  // only above 1000
  EXPECT_EQ(correctFrameTimeBase(base(2, 90000)).num, 2);
}

TEST(VideoTimingTest, TimeBaseFromAverageThenRealRateThenStreamClock) {
  FrameTimeBase fromAverage = frameTimeBaseFor(25, 1, 50, 1, 1, 12800);
  EXPECT_EQ(fromAverage.num, 1);
  EXPECT_EQ(fromAverage.den, 25);
  EXPECT_TRUE(fromAverage.fromFrameRate);

  FrameTimeBase fromReal = frameTimeBaseFor(0, 0, 30000, 1001, 1, 90000);
  EXPECT_EQ(fromReal.num, 1001);
  EXPECT_EQ(fromReal.den, 30000);

  FrameTimeBase fromClock = frameTimeBaseFor(0, 1, 0, 0, 1, 90000);
  EXPECT_EQ(fromClock.num, 1000);
  EXPECT_EQ(fromClock.den, 90000);
  EXPECT_FALSE(fromClock.fromFrameRate);

  EXPECT_FALSE(frameTimeBaseFor(0, 0, 0, 0, 0, 0).valid());
}

TEST(VideoTimingTest, FrameCountIsDurationTimesRateRoundedHalfUp) {
  EXPECT_EQ(frameCountForDuration(60000000, base(1, 25)), 1500);
  EXPECT_EQ(frameCountForDuration(60000000, base(1001, 30000)), 1798);  // 1798.2
  EXPECT_EQ(frameCountForDuration(60000000, correctFrameTimeBase(base(1, 90000))), 5400);
  EXPECT_EQ(frameCountForDuration(1020000, base(1, 25)), 26);  // 25.5 rounds up
  EXPECT_EQ(frameCountForDuration(1019999, base(1, 25)), 25);
  EXPECT_EQ(frameCountForDuration(0, base(1, 25)), 0);
  EXPECT_EQ(frameCountForDuration(60000000, FrameTimeBase()), 0);
  EXPECT_EQ(frameCountForDuration(INT64_MAX / 2, base(1, 25)), INT32_MAX);
}

TEST(VideoTimingTest, FrameTimesInMicroseconds) {
  EXPECT_EQ(frameTimeMicros(0, base(1, 25)), 0);
  EXPECT_EQ(frameTimeMicros(40, base(1, 25)), 1600000);
  EXPECT_EQ(frameTimeMicros(1, base(1001, 30000)), 33367);  // 33366.67
  EXPECT_EQ(frameTimeMicros(90, correctFrameTimeBase(base(1, 90000))), 1000000);
  EXPECT_EQ(frameTimeMicros(4000000000u, base(1, 25)), 160000000000000LL);  // no wrap
}

TEST(VideoTimingTest, TimestampsMapToNearestPictureAndBack) {
  const FrameTimeBase fps25 = base(1, 25);  // 512 ticks per frame at 1/12800
  EXPECT_EQ(pictureNumberAt(0, 0, 1, 12800, fps25), 0);
  EXPECT_EQ(pictureNumberAt(1536, 0, 1, 12800, fps25), 3);
  EXPECT_EQ(pictureNumberAt(1536 + 200, 0, 1, 12800, fps25), 3);  // jitter rounds away
  EXPECT_EQ(pictureNumberAt(1536 - 200, 0, 1, 12800, fps25), 3);
  EXPECT_EQ(pictureNumberAt(-1024 + 1536, -1024, 1, 12800, fps25), 3);  // offset start
  EXPECT_EQ(pictureNumberAt(-512, 0, 1, 12800, fps25), -1);
  for (int64_t p : {0, 1, 29, 1797, 100000}) {
    const FrameTimeBase ntsc = base(1001, 30000);
    EXPECT_EQ(pictureNumberAt(timestampOfPicture(p, 3003, 1, 90000, ntsc), 3003, 1, 90000, ntsc),
              p);
  }
}

}  // namespace
