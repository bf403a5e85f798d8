#include "slides/robust_change.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include <opencv2/imgproc.hpp>

#include "lecture_scene.h"
#include "screen_filming.h"

using namespace slidetrack;

namespace {

cv::Mat slide(int index) { return drawSlide(index, kScreen); }

// Where the picture lies more than 60 grey levels off the slide.
cv::Mat farOff(const cv::Mat& picture, const cv::Mat& slide) {
  cv::Mat diff;
  cv::absdiff(picture, slide, diff);
  cv::cvtColor(diff, diff, cv::COLOR_BGR2GRAY);
  return diff > 60;
}

// The slide with one more line of text, partly where a speaker at x = 150 stands.
cv::Mat withBuild(int index) {
  cv::Mat s = slide(index);
  cv::rectangle(s, cv::Rect(60, 405, 520, 40), cv::Scalar(245, 246, 240), cv::FILLED);
  cv::putText(s, "new point appears here", {70, 435}, cv::FONT_HERSHEY_SIMPLEX, 1.0,
              cv::Scalar(30, 30, 30), 2, cv::LINE_AA);
  return s;
}

class RobustChange : public ::testing::Test {
 protected:
  // The sensor noise comes from OpenCV's shared generator: each test starts it afresh, so
  // that its frames do not depend on which tests ran before it.
  void SetUp() override { cv::theRNG().state = 0xffffffffu; }
  void feed(int t, const cv::Mat& frame) {
    const RobustChangeDetector::Decision d = detector_.process(frame);
    if (!d.changed) return;
    changes_.push_back(t - d.framesBack);
    endedPicture_ = detector_.endedPicture().clone();
  }
  ChangeDetectorOptions options_;
  RobustChangeDetector detector_{options_};
  std::vector<int> changes_;
  cv::Mat endedPicture_;
  std::mt19937 rng_{7};
};

}  // namespace

TEST_F(RobustChange, SpeakerWalkingStandingAndPointingIsNoChange) {
  const cv::Mat s = slide(3);
  for (int t = 0; t < 60; ++t) {
    cv::Mat screen = s.clone();
    if (t < 15) {
      drawSpeaker(screen, -60 + 40 * t);  // walks in from the left
    } else if (t < 40) {
      const cv::Point hand(430 + 30 * (t % 4), 140 + 25 * (t % 3));  // points, arm moving
      drawSpeaker(screen, 500, t >= 25 ? &hand : nullptr);
    } else {
      drawSpeaker(screen, 500 - 30 * (t - 40));  // walks back over the slide
    }
    feed(t, shakenWithNoise(screen, 0, 0));
  }
  EXPECT_TRUE(changes_.empty()) << "first phantom at " << changes_.front();

  // The picture shows the slide where the speaker stood for most of it.
  const double speakerShare =
      cv::countNonZero(farOff(detector_.slidePicture(), s)) / double(s.total());
  EXPECT_LE(speakerShare, 0.02);
}

TEST_F(RobustChange, ArmOfASpeakerInTheSlidesGreyButAnotherColourIsNoChange) {
  // A beige shirt within 20 grey levels of the white slide, there since the slide started,
  // so that the reference holds him; he points at one line, lowers his arm, points at another.
  const cv::Mat s = slide(3);
  for (int t = 0; t < 24; ++t) {
    cv::Mat screen = s.clone();
    const cv::Point hand(t < 8 ? 330 : 350, t < 8 ? 150 : 230);
    drawSpeaker(screen, 200, t / 8 == 1 ? nullptr : &hand, cv::Scalar(212, 228, 240));
    feed(t, filmed(screen, t));
  }
  EXPECT_TRUE(changes_.empty()) << "first phantom at " << changes_.front();
}

TEST_F(RobustChange, ShakeNoiseAndExposureDriftAreNoChange) {
  std::uniform_real_distribution<double> shake(-1.5, 1.5);
  const cv::Mat s = slide(5);
  for (int t = 0; t < 60; ++t) {
    const double gain = 0.85 + 0.15 * t / 60.0 + 0.01 * (t % 3);
    feed(t, shakenWithNoise(s, shake(rng_), shake(rng_), gain));
  }
  EXPECT_TRUE(changes_.empty()) << "first phantom at " << changes_.front();
}

TEST_F(RobustChange, ChangeUnderStandingSpeakerIsFoundWhereItShowed) {
  // A run that makes no pictures decides alike.
  RobustChangeDetector bare(options_);
  bare.keepPictures(false);
  std::vector<int> bareChanges;
  for (int t = 0; t < 16; ++t) {
    cv::Mat screen = slide(t < 8 ? 1 : 2).clone();
    drawSpeaker(screen, 180);
    const cv::Mat frame = filmed(screen, t, true);
    feed(t, frame);
    const RobustChangeDetector::Decision d = bare.process(frame);
    if (d.changed) bareChanges.push_back(t - d.framesBack);
  }
  EXPECT_EQ(changes_, std::vector<int>{8});
  EXPECT_EQ(bareChanges, changes_);
  EXPECT_TRUE(bare.slidePicture().empty());
}

TEST_F(RobustChange, SpeakerPointingWhenTheSlideStartsLeavesNoOutlineBehind) {
  // He walks in and points; the slide changes under his arm, whose edge the camera blurs;
  // he then lowers the arm and walks off. That edge is the speaker, not the slide.
  const cv::Point hand(260, 120);
  for (int t = 0; t < 26; ++t) {
    cv::Mat screen = slide(t < 6 ? 6 : 7).clone();
    const int x = t < 12 ? std::max(520, 700 - 45 * t) : 520 + 25 * (t - 12);
    drawSpeaker(screen, x, t >= 3 && t < 12 ? &hand : nullptr);
    cv::GaussianBlur(screen, screen, cv::Size(0, 0), 6.0);
    feed(t, filmed(screen, t));
  }
  EXPECT_EQ(changes_, std::vector<int>{6});
}

// Share of the screen where the picture shows the speaker's clothing and the slide does not.
double clothingShare(const cv::Mat& picture, const cv::Mat& clean) {
  const cv::Scalar low(35, 20, 15), high(85, 70, 65);
  cv::Mat shown, there;
  cv::inRange(picture, low, high, shown);
  cv::inRange(clean, low, high, there);
  return cv::countNonZero(shown & ~there) / double(shown.total());
}

TEST_F(RobustChange, SpeakerStandingThroughABuildStaysOutOfThePictureAndTheBuildIn) {
  // He walks in, then stands still while a line of text appears beside him.
  cv::Mat first = slide(4), second = withBuild(4);
  cv::rectangle(first, cv::Rect(60, 405, 520, 40), cv::Scalar(245, 246, 240), cv::FILLED);
  for (int t = 0; t < 16; ++t) {
    cv::Mat screen = (t < 10 ? first : second).clone();
    drawSpeaker(screen, std::min(420, -60 + 60 * t));
    feed(t, filmed(screen, t));
  }
  EXPECT_EQ(changes_, std::vector<int>{10});
  EXPECT_LE(clothingShare(endedPicture_, first), 0.02);
  EXPECT_LE(clothingShare(detector_.slidePicture(), second), 0.02);
  // The new line, left of where he stands, is in the picture.
  const cv::Rect line(60, 405, 290, 40);
  cv::Mat diff;
  cv::absdiff(detector_.slidePicture()(line), second(line), diff);
  EXPECT_LT(cv::mean(diff)[0], 10.0);
}

TEST_F(RobustChange, InkWrittenOverTheSlideIsNoChangeButANewSlideOrRedBuildIs) {
  // A red underline and a circle drawn a piece per processed frame, then the next slide.
  const cv::Mat s = slide(1);
  cv::Mat inked = s.clone();
  std::vector<cv::Point> pen;
  for (int i = 0; i <= 20; ++i) pen.emplace_back(120 + 12 * i, 330 + (i % 3));
  for (int i = 0; i <= 20; ++i)
    pen.emplace_back(470 + int(50 * std::cos(0.33 * i)), 200 + int(30 * std::sin(0.33 * i)));
  // A line of red text shown at once is a build, though.
  cv::Mat built = slide(8);
  cv::putText(built, "a red remark", {60, 440}, cv::FONT_HERSHEY_SIMPLEX, 1.0,
              cv::Scalar(30, 30, 210), 2, cv::LINE_AA);
  for (int t = 0; t < 24; ++t) {
    if (t >= 3 && t < 10)
      for (size_t i = size_t(t - 3) * 6; i < std::min(pen.size() - 1, size_t(t - 2) * 6); ++i)
        if (i != 20) cv::line(inked, pen[i], pen[i + 1], cv::Scalar(30, 30, 210), 3, cv::LINE_AA);
    feed(t, filmed(t < 15 ? inked : t < 20 ? slide(8) : built, t));
  }
  EXPECT_EQ(changes_, (std::vector<int>{15, 20}));
}

TEST_F(RobustChange, StrokeAcrossColouredTextBesideAPointingSpeakerIsNoChangeButAColouredBuildIs) {
  // Red and black text struck through in red a piece per processed frame while the speaker,
  // come in from the right, points beside it with a moving arm; then a red line shown at once.
  cv::Mat s = slide(2);
  cv::rectangle(s, cv::Rect(30, 230, 400, 170), cv::Scalar(245, 246, 240), cv::FILLED);
  for (int k = 0; k < 3; ++k)
    cv::putText(s, k == 1 ? "columns of the matrix" : "rows and columns", {40, 260 + 40 * k},
                cv::FONT_HERSHEY_SIMPLEX, 0.9,
                k == 1 ? cv::Scalar(30, 30, 200) : cv::Scalar(20, 20, 20), 2, cv::LINE_AA);
  cv::Mat inked = s.clone(), built = s.clone();
  cv::putText(built, "a red build", {40, 380}, cv::FONT_HERSHEY_SIMPLEX, 0.9,
              cv::Scalar(30, 30, 200), 2, cv::LINE_AA);
  for (int t = 0; t < 22; ++t) {
    if (t >= 5 && t < 10)
      cv::line(inked, {40 + 70 * (t - 5), 292 + (t % 2)}, {110 + 70 * (t - 5), 292 + (t % 2)},
               cv::Scalar(30, 30, 210), 3, cv::LINE_AA);
    cv::Mat screen = (t < 15 ? inked : built).clone();
    const cv::Point hand(400 + 30 * (t % 4), 140 + 25 * (t % 3));
    drawSpeaker(screen, std::max(540, 700 - 40 * t), t >= 4 ? &hand : nullptr);
    feed(t, filmed(screen, t));
  }
  EXPECT_EQ(changes_, (std::vector<int>{15}));
}

// A change waits for its second look (at the video's end the run reports it), unless
// persistence is off.
TEST_F(RobustChange, ChangeWaitsForItsSecondLookUnlessPersistenceIsOff) {
  for (int t = 0; t < 5; ++t) feed(t, filmed(slide(t < 4 ? 2 : 9), t));
  EXPECT_TRUE(changes_.empty());
  EXPECT_TRUE(detector_.changePending());
  options_.slideChangePersist = 0;
  RobustChangeDetector detector(options_);
  std::vector<int> at;
  for (int t = 0; t < 6; ++t) {
    const RobustChangeDetector::Decision d = detector.process(slide(t < 3 ? 0 : 7));
    if (d.changed) at.push_back(t * 10 + d.framesBack);
  }
  EXPECT_EQ(at, std::vector<int>{30});
}

TEST_F(RobustChange, SpeakerStandingAgainstTheSideBarThroughASlideStaysOutOfItsPicture) {
  // A template's side bar down the right edge; he walks in during the first slide and
  // stands against the bar, still, until the second one ends.
  const auto withBar = [](cv::Mat s) {
    cv::rectangle(s, cv::Rect(570, 0, 70, 480), cv::Scalar(200, 175, 160), cv::FILLED);
    return s;
  };
  const cv::Mat first = withBar(slide(6)), second = withBar(slide(7));
  for (int t = 0; t < 18; ++t) {
    cv::Mat screen = (t < 9 ? first : second).clone();
    drawSpeaker(screen, std::min(530, 130 + 100 * t));
    feed(t, filmed(screen, t));
  }
  EXPECT_EQ(changes_, std::vector<int>{9});
  cv::Mat blank = second.clone();
  const cv::Mat shape = drawSpeaker(blank, 530), off = farOff(detector_.slidePicture(), second);
  EXPECT_LE(cv::countNonZero(off & shape) / double(off.total()), 0.02);
  // The slide's text and figure away from him are kept as they are.
  const cv::Rect away(0, 70, 440, 410);
  EXPECT_LE(cv::countNonZero(off(away)) / double(away.area()), 0.002);
}

TEST_F(RobustChange, SpeakerArrivingAtTheScreensEdgeAsTheSlideChangesStaysOutOfItsPicture) {
  // The screen's dark frame shows along the left edge, blurred into his clothes there. He
  // walks to that edge, arrives just as the next slide appears and stands there.
  const cv::Scalar red(40, 40, 170);
  for (int t = 0; t < 16; ++t) {
    cv::Mat screen = slide(t < 8 ? 2 : 5);
    drawSpeaker(screen, std::max(30, 430 - 50 * t), nullptr, red);
    screen.colRange(0, 10).setTo(cv::Scalar(30, 30, 30));
    cv::GaussianBlur(screen, screen, cv::Size(0, 0), 1.5);
    feed(t, filmed(screen, t));
  }
  EXPECT_EQ(changes_, std::vector<int>{8});
  cv::Mat blank = slide(5);
  const cv::Mat shape = drawSpeaker(blank, 30), off = farOff(detector_.slidePicture(), slide(5));
  EXPECT_LE(cv::countNonZero(off & shape) / double(off.total()), 0.02);
}

TEST_F(RobustChange, QuietOnlyWhileTheVisibleSlideStaysAsAnEarlierLook) {
  // Noise and a little shake leave the slide as the first look showed it; a block added to it
  // does not, neither against that look nor, while it waits for its second look, as followed.
  std::uniform_real_distribution<double> shake(-0.5, 0.5);
  const cv::Mat s = slide(5);
  feed(0, shakenWithNoise(s, 0, 0));
  const cv::Mat first = detector_.workImage().clone();
  for (int t = 1; t < 4; ++t) {
    feed(t, shakenWithNoise(s, shake(rng_), shake(rng_)));
    EXPECT_TRUE(detector_.quiet()) << t;
    EXPECT_TRUE(detector_.unchangedSince(first)) << t;
  }
  const cv::Mat built = withBuild(5);
  feed(4, shakenWithNoise(built, 0, 0));
  EXPECT_FALSE(detector_.quiet());
  EXPECT_FALSE(detector_.unchangedSince(first));
  EXPECT_TRUE(detector_.unchangedSince(detector_.workImage()));
  EXPECT_FALSE(detector_.unchangedSince(cv::Mat())) << "no earlier look";
}

TEST_F(RobustChange, AChangeKeepsTheEndedSlidesLookAndWhatStartedTheNewOne) {
  // No pictures: the reference looks stand for them, the old slide's kept at the change.
  RobustChangeDetector looks{options_};
  looks.keepPictures(false);
  looks.keepLooks(true);
  const cv::Mat s = slide(5), built = withBuild(5);
  int changedAt = -1;
  for (int t = 0; t < 8; ++t)
    if (looks.process(shakenWithNoise(t < 4 ? s : built, 0, 0)).changed) changedAt = t;
  ASSERT_EQ(changedAt, 5);
  cv::Mat old, now;
  cv::resize(s, old, looks.endedLook().size(), 0, 0, cv::INTER_AREA);
  cv::resize(built, now, old.size(), 0, 0, cv::INTER_AREA);
  EXPECT_LT(cv::norm(looks.endedLook(), old, cv::NORM_L1),
            cv::norm(looks.endedLook(), now, cv::NORM_L1) / 4);
  EXPECT_LT(cv::norm(looks.referenceLook(), now, cv::NORM_L1),
            cv::norm(looks.referenceLook(), old, cv::NORM_L1) / 4);
  // The new line, at rows 405-445 of the screen, started it: all of it lies there.
  const cv::Mat& content =
      looks.endedContent().empty() ? looks.startContent() : looks.endedContent();
  const int all = cv::countNonZero(content);
  EXPECT_GT(all, 100);
  EXPECT_EQ(cv::countNonZero(content(cv::Rect(0, 200, content.cols, 25))), all);
  EXPECT_TRUE(looks.slidePicture().empty());
}
