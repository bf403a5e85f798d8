// The frame loop's step on low, fractional and variable frame rates: no second of the talk
// goes unseen, and normal rates walk exactly the frames they always did.

#include <gtest/gtest.h>

#include "app/frame_step.h"
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

LectureScene scene(std::vector<SlideShowing> schedule) {
  LectureScene s;
  s.frameSize = {320, 240};
  std::copy(kCorners.begin(), kCorners.end(), s.screenCorners.begin());
  s.schedule = std::move(schedule);
  return s;
}

StepRecorder run(const std::string& clip, PresentationSettings settings = {}) {
  StepRecorder recorder;
  runPipeline(settings, {clip, std::nullopt, std::nullopt}, kCorners, recorder);
  return recorder;
}

std::vector<int> every(int step, int below) {
  std::vector<int> t;
  for (int k = 0; k < below; k += step) t.push_back(k);
  return t;
}

TEST(FrameStep, NeverMoreThanTheSecondsAllowButNeverBelowOneFrame) {
  EXPECT_EQ(frameStepFor(25, 1.0, 25.0), 25);
  EXPECT_EQ(frameStepFor(25, 1.0, 30000.0 / 1001), 25);
  EXPECT_EQ(frameStepFor(25, 1.0, 60.0), 25);
  EXPECT_EQ(frameStepFor(25, 1.0, 24000.0 / 1001), 23);  // 0.96 s rather than 1.04 s
  EXPECT_EQ(frameStepFor(25, 1.0, 0.2), 1);              // a picture every 5 s: each one
  EXPECT_EQ(frameStepFor(25, 2.0, 5.0), 10);
  EXPECT_EQ(frameStepFor(3, 1.0, 10.0), 3);   // a shorter configured step stays
  EXPECT_EQ(frameStepFor(25, 0.0, 1.0), 25);  // 0 s: the configured step alone
  EXPECT_EQ(frameStepFor(25, 1.0, 0.0), 25);  // rate unknown
}

struct RateCase {
  const char *codec, *file;
  int fpsNum, fpsDen;
  std::vector<SlideShowing> schedule;
  int chosen;
  std::vector<int> frames, starts;
};

// One frame per second, as a capture platform's segmenter records, is walked frame by
// frame and each change reported at its second (index 13 is the 13th picture, the one
// shown at 12 s); at 25 frames per second and above the loop is the design's: 0, 25, 50,
// ... and nothing said about the step.
TEST(FrameRate, LowRatesAreWalkedFrameByFrameNormalRatesInTheDesignsSteps) {
  ScratchDir dir;
  const RateCase cases[] = {
      {"mjpeg", "a.avi", 1, 1, {{0, 12}, {1, 8}}, 1, every(1, 20), {0, 13}},
      {"libx264", "b.mp4", 1, 1, {{0, 20}, {1, 20}}, 1, every(1, 40), {0, 21}},
      {"libx264", "c.mp4", 30000, 1001, {{0, 60}, {1, 70}}, 0, every(25, 130), {0, 75}}};
  for (const RateCase& c : cases) {
    ClipOptions options;
    options.codec = c.codec;
    options.fpsNum = c.fpsNum;
    options.fpsDen = c.fpsDen;
    ASSERT_NO_FATAL_FAILURE(writeSceneClip(scene(c.schedule), dir / c.file, options));
    const StepRecorder r = run(dir / c.file);
    EXPECT_EQ(r.chosen, c.chosen) << c.file;
    EXPECT_EQ(r.frames, c.frames) << c.file;
    EXPECT_EQ(r.starts, c.starts) << c.file;
  }
  // The design's step in frames alone, kept behind slideStepSeconds = 0: one frame seen.
  PresentationSettings frameCounted;
  frameCounted.slideStepSeconds = 0;
  const StepRecorder old = run(dir / "a.avi", frameCounted);
  EXPECT_EQ(old.chosen, 0);
  EXPECT_EQ(old.frames, std::vector<int>{0});
}

// Pictures dropped unevenly by FFmpeg (about 2 per second, gaps of up to a second): the
// change at 2 s is found within a second of it.
TEST(FrameRate, VariableFrameRateFindsTheChangeWithinASecond) {
  ScratchDir dir;
  ClipOptions options;
  options.fpsNum = 10;
  const std::string even = dir / "even.mp4", vfr = dir / "vfr.mp4";
  ASSERT_NO_FATAL_FAILURE(writeSceneClip(scene({{0, 20}, {1, 90}}), even, options));
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

}  // namespace
