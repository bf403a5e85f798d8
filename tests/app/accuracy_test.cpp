// Accuracy of whole runs on generated lectures, with the scoring the accuracy script uses.

#include <gtest/gtest.h>

#include "accuracy_metrics.h"
#include "lecture_scene.h"
#include "run_harness.h"

using namespace slidetrack;

// Whole runs: first run (corner search), headless, with the originals.
struct CleanLecture {
  const char* name;
  const char* options;  // generator options
  double fps;
  cv::Size frameSize;
};

void PrintTo(const CleanLecture& c, std::ostream* out) { *out << c.name; }

class AccuracyOnCleanLectures : public testing::TestWithParam<CleanLecture> {};

TEST_P(AccuracyOnCleanLectures, MeetsThresholds) {
  const CleanLecture& c = GetParam();
  const fs::path dir = freshDir(std::string("accuracy_") + c.name);
  const std::string generate = shellQuote(SLIDETRACK_MAKE_LECTURE) + " --out " +
                               shellQuote(dir.string()) + " " + c.options + " >" +
                               shellQuote((dir / "gen.log").string());
  ASSERT_EQ(std::system(generate.c_str()), 0) << readFile(dir / "gen.log");
  const RunResult run = runSlidetrack(dir, {"-i", "lecture.mp4", "-s", "originals.xml", "-hide"});

  const RunFiles files = {(dir / "truth.csv").string(), (dir / "originals.xml").string(),
                          (dir / "lecture.mp4.xml").string(),
                          (dir / "lecture.mp4.cfg.xml").string(), c.fps};
  Evaluation e;
  std::string error;
  ASSERT_TRUE(evaluateRun(files, &e, &error)) << error << "\n" << run.err;
  const std::string line = formatEvaluation(c.name, e);
  RecordProperty("evaluation", line);
  EXPECT_GE(e.changes.truth, 8) << line;
  EXPECT_GE(e.changes.f1, 0.95) << line;
  EXPECT_GE(e.matches.accuracy, 0.95) << line;
  if (!e.corners.found) {
    // No screen found: the run rectified the whole frame, right only for a recording.
    const float w = float(c.frameSize.width), h = float(c.frameSize.height);
    const Quad whole = {{{0, 0}, {w, 0}, {w, h}, {0, h}}};
    e.corners = scoreCorners(whole, loadTruthCsv(files.truthCsv, &error));
  }
  EXPECT_LE(e.corners.max, 4.0) << line;
  if (!HasFailure()) fs::remove_all(dir);
}

// Eight slides, the third shown again after the fifth; three seconds each.
#define LECTURE " --slides 8 --revisit --seconds-per-slide 3"
INSTANTIATE_TEST_SUITE_P(
    Scenarios, AccuracyOnCleanLectures,
    testing::Values(
        CleanLecture{"camera", "--scenario moderate --fps 25" LECTURE, 25.0, {1280, 720}},
        CleanLecture{"screencast", "--scenario screencast --fps 25" LECTURE, 25.0, {1280, 720}},
        CleanLecture{
            "ntsc", "--scenario moderate --fps 30000/1001" LECTURE, 30000.0 / 1001, {1280, 720}}),
    [](const testing::TestParamInfo<CleanLecture>& info) { return info.param.name; });
