// Accuracy of whole runs on generated lectures, with the scoring the accuracy script uses,
// and checks of that scoring itself.

#include <gtest/gtest.h>

#include "accuracy_metrics.h"
#include "lecture_scene.h"
#include "run_harness.h"

namespace {

SlideList recordsStartingAt(const std::vector<std::pair<int, int>>& startAndMatch) {
  SlideList list;
  for (const auto& [start, match] : startAndMatch) {
    list.slides.push_back(slideRecordMake(int(list.slides.size()), nullptr, start, start, 0));
    if (match >= 0) {
      list.matchRecords.push_back(slideRecordMake(match, nullptr, 0, 0, 0));
      list.slides.back().match = &list.matchRecords.back();
    }
  }
  return list;
}

std::vector<TruthFrame> truthOfSlides(const std::vector<int>& slides) {
  std::vector<TruthFrame> truth(slides.size());
  for (size_t i = 0; i < slides.size(); ++i) truth[i].slide = slides[i];
  return truth;
}

}  // namespace

TEST(ChangeScoring, PairsOneToOneWithinToleranceAtTheFrameIndexConvention) {
  // Two reports near the first true change: only one may count.
  ChangeScore s = scoreChanges({10, 20}, {10.5, 9.8, 19}, 2.0);
  EXPECT_EQ(s.matched, 2);
  EXPECT_DOUBLE_EQ(s.precision, 2.0 / 3);
  EXPECT_DOUBLE_EQ(s.recall, 1.0);
  EXPECT_NEAR(s.f1, 0.8, 1e-12);
  // Closest pairs first: 11.5 belongs to 12, and 10.9 is still there for 10.
  EXPECT_EQ(scoreChanges({10, 12}, {11.5, 10.9}, 2.0).matched, 2);
  EXPECT_EQ(scoreChanges({10}, {12.0, 12.01}, 2.0).matched, 1);  // the tolerance is inclusive
  EXPECT_EQ(scoreChanges({10}, {12.01}, 2.0).matched, 0);
  // No changes on either side is a perfect score, reports into a still lecture are not.
  EXPECT_DOUBLE_EQ(scoreChanges({}, {}, 2.0).f1, 1.0);
  EXPECT_DOUBLE_EQ(scoreChanges({}, {5}, 2.0).f1, 0.0);

  EXPECT_EQ(trueChangePictures(truthOfSlides({0, 0, 1, 1, 0, 0})), (std::vector<int>{2, 4}));
  // A record opened at index 50 was seen on picture 49; indices 0 and 1 show picture 0.
  const SlideList list = recordsStartingAt({{0, -1}, {50, -1}, {100, -1}});
  EXPECT_EQ(reportedChangePictures(list), (std::vector<int>{49, 99}));
  EXPECT_TRUE(pictureAtIndex(0) == 0 && pictureAtIndex(1) == 0);
}

TEST(MatchScoring, EachProcessedFrameNeedsTheShownSlidesOriginal) {
  // Pictures 0..4 show slide 3, pictures 5..9 slide 7; originals id 30 -> 3, id 70 -> 7.
  const std::vector<TruthFrame> truth = truthOfSlides({3, 3, 3, 3, 3, 7, 7, 7, 7, 7});
  const std::map<int, int> ids = {{30, 3}, {70, 7}};
  // Index 6 shows picture 5, the first of slide 7; the last record runs to the end.
  MatchScore s = scoreMatches(recordsStartingAt({{0, 30}, {6, 70}}), ids, truth, 2);
  EXPECT_EQ(s.frames, 5);
  EXPECT_EQ(s.correct, 5);
  // Opening at index 4 is too early: index 4 still shows picture 3, slide 3.
  s = scoreMatches(recordsStartingAt({{0, 30}, {4, 70}}), ids, truth, 2);
  EXPECT_EQ(s.correct, 4);
  // An unmatched record, or one matched to an unknown id, is wrong for all its frames.
  s = scoreMatches(recordsStartingAt({{0, -1}, {6, 71}}), ids, truth, 1);
  EXPECT_EQ(s.frames, 10);
  EXPECT_EQ(s.correct, 0);
  EXPECT_DOUBLE_EQ(s.accuracy, 0.0);
}

TEST(CornerScoring, NearerOfProjectedAreaAndScreenFrame) {
  TruthFrame f;
  f.area = {{{100, 100}, {500, 100}, {500, 400}, {100, 400}}};
  f.frame = {{{94, 94}, {506, 94}, {506, 406}, {94, 406}}};
  // Shaken copies of that frame average back to it.
  TruthFrame left = f, right = f;
  for (int i = 0; i < 4; ++i) left.area[i].x -= 1, left.frame[i].x -= 1;
  for (int i = 0; i < 4; ++i) right.area[i].x += 1, right.frame[i].x += 1;
  const Quad found = {{{94, 97}, {500, 100}, {507, 406}, {100, 402}}};
  const CornerScore s = scoreCorners(found, {left, right});
  ASSERT_TRUE(s.found);
  EXPECT_NEAR(s.max, 3.0, 1e-5);                     // TL is 3 px from either
  EXPECT_NEAR(s.mean, (3.0 + 0 + 1 + 2) / 4, 1e-5);  // BR is nearer the frame
  EXPECT_FALSE(scoreCorners(std::nullopt, {f}).found);
}

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
