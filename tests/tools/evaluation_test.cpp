// The evaluator's figures on a hand-made run: changes paired one to one within the
// tolerance, closest first; phantom and late reports; the share of processed frames whose
// record is matched to the slide shown; where a change shows outside the speaker.

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "accuracy_metrics.h"
#include "change_visibility.h"

using namespace slidetrack;

TEST(Evaluation, PairsChangesCountsPhantomsAndLatenessAndScoresMatches) {
  // Slides 0, 1, 2 for 100 pictures each, processed every 25 frames at 25 per second.
  std::vector<TruthFrame> truth(300);
  for (size_t i = 0; i < truth.size(); ++i) truth[i].slide = int(i / 100);
  SlideList originals, results;
  for (int id : {10, 11, 12}) originals.slides.push_back(slideRecordMake(id, nullptr, 0, 0, 0));
  // A phantom matched wrongly, the first change on time, the second two processed frames late.
  const std::pair<int, int> records[] = {{0, 0}, {50, 1}, {125, 1}, {275, 2}};
  for (const auto& [start, original] : records) {
    results.slides.push_back(slideRecordMake(int(results.slides.size()), nullptr, start, start, 0));
    results.slides.back().match = &originals.slides[original];
  }
  EXPECT_EQ(trueChangePictures(truth), (std::vector<int>{100, 200}));
  // A record opened at index k was seen on picture k - 1.
  EXPECT_EQ(reportedChangePictures(results), (std::vector<int>{49, 124, 274}));
  const ChangeScore changes = scoreChanges({4.0, 8.0}, {1.96, 4.96, 10.96}, 3.0);
  EXPECT_EQ(changes.matched, 2);
  EXPECT_EQ(changes.phantoms(), 1);
  EXPECT_NEAR(changes.f1, 0.8, 1e-12);
  const LatenessScore late = scoreLateness(truth, results, 25, 25.0, 3.0);
  EXPECT_EQ(late.onTime, 1);
  EXPECT_EQ(late.max, 2);
  // Right at indices 0, 25, 125 to 200 and 275; wrong in the phantom's record (50 to 100)
  // and before the late report (225, 250).
  const MatchScore match = scoreMatches(results, {{10, 0}, {11, 1}, {12, 2}}, truth, 25);
  EXPECT_EQ(match.frames, 12);
  EXPECT_EQ(match.correct, 7);
  // 11.5 belongs to 12, leaving 10.9 for 10; the tolerance is inclusive.
  EXPECT_EQ(scoreChanges({10, 12}, {11.5, 10.9}, 2.0).matched, 2);
  EXPECT_EQ(scoreChanges({10}, {12.0}, 2.0).matched, 1);
  EXPECT_EQ(scoreChanges({10}, {12.01}, 2.0).matched, 0);
}

TEST(Evaluation, ChangeIsVisibleOnceTheSpeakerNoLongerCoversWhatDiffers) {
  namespace fs = std::filesystem;
  const fs::path dir =
      fs::temp_directory_path() / ("slidetrack-visibility-" + std::to_string(::getpid()));
  fs::create_directories(dir / "slides");
  // The second slide adds a block; the slide fills frame pixels 100..740 x 50..530.
  const cv::Mat first(480, 640, CV_8UC3, cv::Scalar(250, 250, 250));
  cv::Mat second = first.clone();
  cv::rectangle(second, cv::Rect(290, 250, 60, 60), cv::Scalar(40, 40, 40), cv::FILLED);
  cv::imwrite((dir / "slides" / "slide_0.png").string(), first);
  cv::imwrite((dir / "slides" / "slide_1.png").string(), second);
  // A speaker stands over the block until picture 150.
  SpeakerPose pose;
  pose.present = true;
  pose.x = 420;
  pose.footY = 700;
  pose.height = 560;
  ASSERT_EQ(cv::countNonZero(speakerMask(pose, {1280, 720})(cv::Rect(390, 300, 60, 60)) == 0), 0);
  std::vector<TruthFrame> truth(250);
  for (size_t i = 0; i < truth.size(); ++i) {
    truth[i].slide = i < 100 ? 0 : 1;
    truth[i].area = {{{100, 50}, {740, 50}, {740, 530}, {100, 530}}};
    truth[i].speaker = pose;
    truth[i].speaker.present = i < 150;
  }
  SlideList results;
  for (int start : {0, 175})
    results.slides.push_back(slideRecordMake(start, nullptr, start, start, 0));
  const std::vector<ChangeVisibility> changes = changeVisibility(truth, dir.string(), results, 25);
  fs::remove_all(dir);
  ASSERT_EQ(changes.size(), 1u);
  EXPECT_EQ(changes[0].picture, 100);
  EXPECT_NEAR(changes[0].area, 3600.0 / (640 * 480), 1e-4);
  // Index 125 shows picture 124, the first of the new slide's; 175 the first without him.
  EXPECT_EQ(changes[0].first, 125);
  EXPECT_EQ(changes[0].visible10, 175);
  EXPECT_EQ(changes[0].visible50, 175);
  EXPECT_EQ(changes[0].reported, 175);
}
