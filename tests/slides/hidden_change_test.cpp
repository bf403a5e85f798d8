// Changes next to a standing speaker are found where they show, and what he uncovers of an
// unchanged slide is no change.

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include <opencv2/imgproc.hpp>

#include "lecture_scene.h"
#include "screen_filming.h"
#include "slides/robust_change.h"

using namespace slidetrack;

namespace {

class HiddenChange : public ::testing::Test {
 protected:
  void SetUp() override { cv::theRNG().state = 0xffffffffu; }
  void feed(int t, const cv::Mat& screen) {
    const RobustChangeDetector::Decision d = detector_.process(filmed(screen, t));
    if (d.changed) changes_.push_back(t - d.framesBack);
  }
  ChangeDetectorOptions options_;
  RobustChangeDetector detector_{options_};
  std::vector<int> changes_;
};

// Where the speaker stands over the slide: walks in from the left by frame 3, stands at
// x = 300 until frame 9, then walks off to the right.
int speakerAt(int t) { return t < 4 ? -60 + 90 * t : t < 10 ? 300 : 300 + 60 * (t - 9); }

// A dark block wholly behind his torso while he stands.
const cv::Rect kBlock(265, 330, 70, 60);

}  // namespace

TEST_F(HiddenChange, NewSlideWhoseTableJoinsAStandingSpeakerIsFoundWhereItShowed) {
  // The table's rules run behind the head and shoulders of the speaker at x = 300 and join
  // them to him.
  const cv::Mat s = drawSlide(4, kScreen), next = withTable(s, 180, 20, 620);
  ChangeDetectorOptions maskAlone;
  maskAlone.slideChangeBeside = 0;
  RobustChangeDetector plain(maskAlone);
  int plainChanges = 0;
  for (int t = 0; t < 16; ++t) {
    cv::Mat screen = (t < 9 ? s : next).clone();
    drawSpeaker(screen, speakerAt(std::min(t, 9)));
    feed(t, screen);
    plainChanges += plain.process(filmed(screen, t)).changed;
  }
  EXPECT_EQ(changes_, std::vector<int>{9});
  // The person mask alone takes the whole table in with him.
  EXPECT_EQ(plainChanges, 0);
}

TEST_F(HiddenChange, BlockAppearingBehindAStandingSpeakerIsFoundWhenHeStepsAway) {
  const cv::Mat s = drawSlide(4, kScreen);
  cv::Mat built = s.clone();
  cv::rectangle(built, kBlock, cv::Scalar(150, 60, 40), cv::FILLED);
  // Without the look at what he uncovers, the block stays in his mask.
  options_.slideChangeUncovered = 1;
  RobustChangeDetector plain(ChangeDetectorOptions{});
  detector_ = RobustChangeDetector(options_);
  int firstShown = -1, plainChanges = 0;
  for (int t = 0; t < 20; ++t) {
    cv::Mat screen = (t < 6 ? s : built).clone();
    drawSpeaker(screen, speakerAt(t));
    // The first frame where part of the block shows beside him.
    if (t >= 6 && firstShown < 0 && speakerAt(t) - 55 > kBlock.x + 10) firstShown = t;
    feed(t, screen);
    plainChanges += plain.process(filmed(screen, t)).changed;
  }
  EXPECT_EQ(plainChanges, 0);
  ASSERT_EQ(changes_.size(), 1u);
  EXPECT_GE(changes_[0], firstShown);
  EXPECT_LE(changes_[0], firstShown + 1);
}

TEST_F(HiddenChange, ColouredBuildBesideAPointingArmInColouredClothesIsFound) {
  // His clothes are as saturated as pen ink; he walks in, points with a sweeping arm, and a
  // green line appears below.
  const cv::Mat s = drawSlide(4, kScreen);
  cv::Mat built = s.clone();
  cv::putText(built, "a green remark", {60, 440}, cv::FONT_HERSHEY_SIMPLEX, 1.0,
              cv::Scalar(40, 160, 40), 2, cv::LINE_AA);
  const cv::Scalar sleeve(200, 190, 30);
  for (int t = 0; t < 30; ++t) {
    cv::Mat screen = (t < 22 ? s : built).clone();
    const int x = std::min(500, -60 + 40 * t);
    cv::rectangle(screen, cv::Rect(x - 55, 285, 110, 200), sleeve, cv::FILLED);
    cv::circle(screen, {x, 250}, 28, cv::Scalar(120, 150, 190), cv::FILLED);
    const cv::Point hand(430 + 30 * (t % 4), 140 + 25 * (t % 3));
    if (t >= 16) cv::line(screen, {x + 40, 300}, hand, sleeve, 8, cv::LINE_AA);
    feed(t, screen);
  }
  EXPECT_EQ(changes_, std::vector<int>{22});
}

TEST_F(HiddenChange, SpeakerUncoveringUnchangedContentIsNoChange) {
  const cv::Mat s = drawSlide(4, kScreen);
  options_.slideChangeUncovered = 1;
  detector_ = RobustChangeDetector(options_);
  for (int t = 0; t < 20; ++t) {
    cv::Mat screen = s.clone();
    drawSpeaker(screen, speakerAt(t));
    feed(t, screen);
  }
  EXPECT_TRUE(changes_.empty()) << "first phantom at " << changes_.front();
}
