// The realistic lecture parts: the speaker the truth describes is the one drawn, and omitted
// originals are marked in the truth the generator writes. Decks are read by every run of the
// realistic table; their page order cannot make the truth disagree with the clip.

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include "ground_truth.h"
#include "lecture_options.h"
#include "lecture_scene.h"
#include "scratch.h"

namespace {

LectureScene sceneFromArgs(std::vector<std::string> args) {
  args.insert(args.begin(), "slidetrack-make-lecture");
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  LectureOptions options;
  EXPECT_EQ(parseLectureArgs(int(argv.size()), argv.data(), &options), 0);
  LectureScene scene;
  std::string error;
  EXPECT_TRUE(lectureSceneFor(options, &scene, &error)) << error;
  return scene;
}

const std::vector<std::string> kHall = {
    "--scenario", "side", "--room", "hall", "--speaker",           "--jitter", "1.5",
    "--slides",   "3",    "--seed", "5",    "--seconds-per-slide", "1"};

}  // namespace

TEST(RealisticLecture, SpeakerMaskFromThePoseIsWhatWasDrawn) {
  LectureScene scene = sceneFromArgs(kHall);
  LectureScene empty = scene;
  empty.speaker = false;
  int checked = 0;
  // Past the schedule the room is empty, but the speaker keeps walking.
  for (int f = 0; f < 6000 && checked < 4; f += 97) {
    const SpeakerPose pose = scenePoseAt(scene, f);
    if (!pose.present) continue;
    cv::Mat diff;
    cv::absdiff(renderLectureFrame(scene, f), renderLectureFrame(empty, f), diff);
    cv::cvtColor(diff, diff, cv::COLOR_BGR2GRAY);
    const cv::Mat drawn = diff > 0;
    const cv::Mat mask = speakerMask(pose, scene.frameSize);
    ASSERT_GT(cv::countNonZero(mask), 2000) << f;
    EXPECT_EQ(cv::countNonZero(drawn & ~mask), 0) << f;  // nothing drawn outside the mask
    EXPECT_LT(cv::countNonZero(mask & ~drawn), cv::countNonZero(mask) / 50) << f;
    ++checked;
  }
  EXPECT_EQ(checked, 4);
}

TEST(RealisticLecture, OmittedOriginalsAreMarkedInTheTruth) {
  ScratchDir dir;
  std::string command = std::string(SLIDETRACK_MAKE_LECTURE) + " --out '" + dir / "l" + "'";
  for (const std::string& a : kHall) command += " " + a;
  command += " --omit 1 --codec mjpeg >/dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0);
  std::string error;
  const std::vector<TruthFrame> truth = loadTruthCsv(dir / "l/truth.csv", &error);
  const std::map<int, int> listed = loadOriginalSlideIndices(dir / "l/originals.xml", &error);
  ASSERT_EQ(truth.size(), 75u) << error;
  EXPECT_EQ(listed.size(), 2u);
  const LectureScene scene = sceneFromArgs(kHall);
  int unlisted = 0;
  for (size_t f = 0; f < truth.size(); ++f) {
    const bool inOriginals = listed.count(truth[f].slide) > 0;
    EXPECT_EQ(truth[f].inOriginals, inOriginals) << f;
    unlisted += !inOriginals;
    // The stored pose is the drawn one, to the last bit the mask depends on.
    const SpeakerPose p = scenePoseAt(scene, int(f));
    const SpeakerPose& t = truth[f].speaker;
    EXPECT_TRUE(t.present == p.present && t.x == p.x && t.footY == p.footY && t.arm == p.arm) << f;
  }
  EXPECT_EQ(unlisted, 25);  // one slide of three, never the first
  EXPECT_TRUE(truth.front().inOriginals);
  EXPECT_TRUE(fs::exists(dir / "l/slides/slide_0.png") && fs::exists(dir / "l/slides/slide_2.png"));
}
