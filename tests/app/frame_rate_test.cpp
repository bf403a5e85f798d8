// The frame loop's step on low, fractional and variable frame rates: no second of the talk
// goes unseen, and normal rates walk exactly the frames they always did.

#include <gtest/gtest.h>

#include "app/frame_step.h"
#include "app/pipeline.h"
#include "run_harness.h"

using namespace slidetrack;

namespace {

const std::vector<cv::Point2f> kCorners = {{60, 40}, {260, 40}, {260, 190}, {60, 190}};

class StepRecorder : public RunObserver {
 public:
  void frameStepChosen(int step, double) override { chosen = step; }
  void frameStarted(int t, int) override { frames.push_back(t); }
  void runFinished(const SlideList& slides) override {
    for (const SlideRecord& r : slides.slides) starts.push_back(r.start);
  }
  int chosen = 0;  // 0: the step was slideFrameStep
  std::vector<int> frames, starts;
};

class FrameRateTest : public RunTest {
 protected:
  LectureScene scene(std::vector<SlideShowing> schedule) const {
    LectureScene s;
    s.frameSize = {320, 240};
    std::copy(kCorners.begin(), kCorners.end(), s.screenCorners.begin());
    s.schedule = std::move(schedule);
    return s;
  }
  void write(const LectureScene& s, const std::string& path, ClipOptions options) {
    options.width = s.frameSize.width;
    options.height = s.frameSize.height;
    std::string error;
    ASSERT_TRUE(writeLectureClip(s, path, options, &error)) << error;
  }
  StepRecorder run(const std::string& clip, PresentationSettings settings = {}) {
    StepRecorder recorder;
    Pipeline pipeline(settings, {clip, std::nullopt, std::nullopt});
    pipeline.addObserver(recorder);
    pipeline.openVideo();
    cv::Mat corners(1, 4, CV_32FC2, const_cast<cv::Point2f*>(kCorners.data()));
    EXPECT_EQ(pipeline.run(pipeline.locateScreen(corners)), RunEnd::kCompleted);
    return recorder;
  }
  static std::vector<int> every(int step, int below) {
    std::vector<int> t;
    for (int k = 0; k < below; k += step) t.push_back(k);
    return t;
  }
};

TEST(FrameStep, NeverMoreThanTheSecondsAllowButNeverBelowOneFrame) {
  EXPECT_EQ(frameStepFor(25, 1.0, 25.0), 25);
  EXPECT_EQ(frameStepFor(25, 1.0, 30000.0 / 1001), 25);
  EXPECT_EQ(frameStepFor(25, 1.0, 60.0), 25);
  EXPECT_EQ(frameStepFor(25, 1.0, 24000.0 / 1001), 23);  // 0.96 s rather than 1.04 s
  EXPECT_EQ(frameStepFor(25, 1.0, 1.0), 1);
  EXPECT_EQ(frameStepFor(25, 1.0, 0.2), 1);  // a picture every 5 s: each one
  EXPECT_EQ(frameStepFor(25, 2.0, 5.0), 10);
  EXPECT_EQ(frameStepFor(3, 1.0, 10.0), 3);   // a shorter configured step stays
  EXPECT_EQ(frameStepFor(25, 0.0, 1.0), 25);  // 0 s: the configured step alone
  EXPECT_EQ(frameStepFor(25, 1.0, 0.0), 25);  // rate unknown
}

// A capture platform's segmenter check: 20 s at 1 frame per second, the slide changes at
// 12 s. Index 13 is the 13th picture, the one shown at 12 s.
TEST_F(FrameRateTest, OneFramePerSecondMjpegGivesBothSlidesFromTheirFirstSecond) {
  ClipOptions options;
  options.codec = "mjpeg";
  options.fpsNum = 1;
  const std::string clip = (dir_ / "talk.avi").string();
  ASSERT_NO_FATAL_FAILURE(write(scene({{0, 12}, {1, 8}}), clip, options));
  const StepRecorder r = run(clip);
  EXPECT_EQ(r.chosen, 1);
  EXPECT_EQ(r.frames, every(1, 20));
  EXPECT_EQ(r.starts, (std::vector<int>{0, 13}));

  // The design's step in frames alone, kept behind slideStepSeconds = 0: one frame seen.
  PresentationSettings frameCounted;
  frameCounted.slideStepSeconds = 0;
  const StepRecorder old = run(clip, frameCounted);
  EXPECT_EQ(old.chosen, 0);
  EXPECT_EQ(old.frames, std::vector<int>{0});
}

TEST_F(FrameRateTest, OneFramePerSecondH264ReportsTheChangeAtItsSecond) {
  ClipOptions options;
  options.fpsNum = 1;
  const std::string clip = (dir_ / "talk.mp4").string();
  ASSERT_NO_FATAL_FAILURE(write(scene({{0, 20}, {1, 20}}), clip, options));
  const StepRecorder r = run(clip);
  EXPECT_EQ(r.frames, every(1, 40));
  EXPECT_EQ(r.starts, (std::vector<int>{0, 21}));
}

// Pictures dropped unevenly by FFmpeg (about 2 per second, gaps of up to a second): the
// change at 2 s is found within a second of it.
TEST_F(FrameRateTest, VariableFrameRateFindsTheChangeWithinASecond) {
  ClipOptions options;
  options.fpsNum = 10;
  const std::string even = (dir_ / "even.mp4").string(), vfr = (dir_ / "vfr.mp4").string();
  ASSERT_NO_FATAL_FAILURE(write(scene({{0, 20}, {1, 90}}), even, options));
  const std::string command = "ffmpeg -nostdin -v error -y -i " + shellQuote(even) +
                              " -vf \"select='lt(mod(n*7\\,10)\\,2)'\" -vsync vfr -c:v libx264 " +
                              shellQuote(vfr);
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  const StepRecorder r = run(vfr);
  ASSERT_GT(r.chosen, 0);
  EXPECT_LE(r.chosen, 2);
  ASSERT_EQ(r.starts.size(), 2u);
  // Index k >= 1 stands for the time (k - 1) / rate at the average rate of 2 per second.
  const double changedAt = (r.starts[1] - 1) / 2.0;
  EXPECT_GE(changedAt, 1.5);
  EXPECT_LE(changedAt, 3.0);
}

// At 25 frames per second and above the loop is the design's: 0, 25, 50, ... and nothing
// said about the step.
TEST_F(FrameRateTest, NormalRatesWalkTheSameFramesAsBefore) {
  for (const auto& rate : {std::pair<int, int>{25, 1}, {30000, 1001}}) {
    ClipOptions options;
    options.fpsNum = rate.first;
    options.fpsDen = rate.second;
    const std::string clip = (dir_ / ("talk" + std::to_string(rate.first) + ".mp4")).string();
    ASSERT_NO_FATAL_FAILURE(write(scene({{0, 60}, {1, 70}}), clip, options));
    const StepRecorder r = run(clip);
    EXPECT_EQ(r.chosen, 0) << rate.first;
    EXPECT_EQ(r.frames, every(25, 130)) << rate.first;
    EXPECT_EQ(r.starts, (std::vector<int>{0, 75})) << rate.first;
  }
}

}  // namespace
