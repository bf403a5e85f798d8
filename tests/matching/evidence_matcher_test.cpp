// Deciding by evidence on a deck whose slides share one template, seen through a camera
// with a speaker in front, and the cases where no original may be named.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "features/feature_options.h"
#include "features/grad_dist.h"
#include "matching/frame_matcher.h"
#include "matching/original_library.h"
#include "results/slide_list.h"
#include "scratch.h"
#include "template_slide.h"

using namespace slidetrack;

namespace {

const cv::Size kSlide(1024, 768);

const std::vector<std::string> kLines = {
    "Motivation and the state of the art", "Our method in three steps", "Results on two datasets",
    "Limits and what comes next", "Thanks to all who helped us"};

// An incremental build (one line more each) and a slide of the same template whose fourth
// line differs.
std::vector<cv::Mat> deck() {
  return {templateSlide("Overview", {kLines[0], kLines[1], kLines[2]}),
          templateSlide("Overview", {kLines[0], kLines[1], kLines[2], kLines[3]}),
          templateSlide("Overview", {kLines[0], kLines[1], kLines[2], kLines[3], kLines[4]}),
          templateSlide("Overview", {kLines[0], kLines[1], kLines[2], "Questions?"})};
}

// Not among the originals: the same template, a demo's bar chart for a body.
cv::Mat strangerSlide() {
  cv::Mat s = templateSlide("Live demo", {});
  cv::rectangle(s, {120, 140, 780, 540}, cv::Scalar(30, 30, 30), 3);
  for (int i = 0; i < 6; ++i)
    cv::rectangle(s, {170 + 120 * i, 640 - 70 * (i % 4 + 2), 70, 70 * (i % 4 + 2)},
                  cv::Scalar(40, 120 + 20 * i, 200), cv::FILLED);
  return s;
}

// The rectified screen as a camera gives it: softer, dimmer, noisy, and a dark speaker
// standing over a third of its width at place x0.
cv::Mat cameraScreen(const cv::Mat& slide, int x0, unsigned seed) {
  cv::Mat screen;
  cv::resize(slide, screen, {640, 480}, 0, 0, cv::INTER_AREA);
  cv::GaussianBlur(screen, screen, {0, 0}, 1.2);
  screen.convertTo(screen, -1, 0.75, 30);
  if (x0 >= 0) {
    cv::ellipse(screen, {x0 + 105, 150}, {45, 55}, 0, 0, 360, cv::Scalar(60, 50, 45), cv::FILLED);
    cv::rectangle(screen, {x0 + 20, 200, 170, 280}, cv::Scalar(70, 40, 40), cv::FILLED);
  }
  cv::Mat noise(screen.size(), CV_8UC3);
  cv::theRNG().state = seed;
  cv::randn(noise, 0, 3);
  cv::add(screen, noise, screen);
  cv::Mat grey;
  cv::cvtColor(screen, grey, cv::COLOR_BGR2GRAY);
  return grey;
}

// A mask of the rectified screen that covers that rectangle.
cv::Mat maskOf(const cv::Rect& covered) {
  cv::Mat mask(480, 640, CV_8UC1, cv::Scalar(0));
  mask(covered).setTo(255);
  return mask;
}

// A decision whole: matched, the original, frames back.
std::tuple<bool, int, int> seen(const FrameMatch& m) { return {m.matched, m.index, m.framesBack}; }

class EvidenceMatching : public ::testing::Test {
 protected:
  void SetUp() override {
    extractor_ = zorGllfGradDistCreate();
    const FeatureOptions& s = settings_;
    zorGllfGradDistInit(extractor_.get(), 2, s.gradBinSize, featureStepRatio(s), s.locWndSize);
    features_ =
        cv::Mat::zeros(zorGllfGradDistGetSize(extractor_.get(), s.localHeight, s.localWidth, -1),
                       zorGllfGradDistGetLength(extractor_.get()), CV_32FC1);
  }

  // The library of these pictures.
  void load(const std::vector<cv::Mat>& pictures) {
    SlideList list;
    for (size_t k = 0; k < pictures.size(); ++k) {
      const std::string path = scratch_ / ("o" + std::to_string(k) + ".png");
      cv::imwrite(path, pictures[k]);
      list.slides.push_back(slideRecordMake(static_cast<int>(k), path.c_str(), 0, 0, 0));
    }
    library_ = originalLibraryBuild(&list, extractor_.get(), settings_, {}, nullptr);
    ASSERT_TRUE(library_);
    frameMatcherInit(matcher_, *library_, options_);
  }

  // Adds one frame to the interval; the decision, with the list index of the match.
  FrameMatch add(const cv::Mat& screen, const cv::Mat& covered = cv::Mat()) {
    featureImagePrepareKeepingSource(screen, featureImage_, settings_);
    zorGllfGradDistExtract(extractor_.get(), featureImage_, &features_);
    FrameMatch match =
        frameMatcherAdd(matcher_, *library_, *extractor_, featureImage_, features_, covered);
    match.index = library_->listIndex[match.index];
    return match;
  }

  // Feeds the frames of one interval; the last decision.
  FrameMatch interval(const std::vector<cv::Mat>& screens) {
    frameMatcherReset(matcher_);
    FrameMatch match;
    for (const cv::Mat& screen : screens) match = add(screen);
    return match;
  }

  // Three frames of that slide with the speaker standing left, in the middle, right.
  FrameMatch shown(const cv::Mat& slide) {
    return interval(
        {cameraScreen(slide, 20, 1), cameraScreen(slide, 230, 2), cameraScreen(slide, 420, 3)});
  }

  // The second build with its new line from x on painted over in the slide's grey.
  cv::Mat lineHidden(unsigned seed, int x) {
    cv::Mat screen = cameraScreen(slides_[1], -1, seed);
    screen(cv::Rect(x, 262, 640 - x, 34)).setTo(screen.at<uint8_t>(330, 600));
    return screen;
  }

  const std::vector<cv::Mat> slides_ = deck();
  ScratchDir scratch_;
  FeatureOptions settings_;
  MatcherOptions options_;
  std::unique_ptr<GradDistExtractor> extractor_;
  cv::Mat features_, featureImage_;
  std::unique_ptr<OriginalSlideLibrary> library_;
  FrameMatcher matcher_;
};

TEST_F(EvidenceMatching, TemplateDeckWithAStandingSpeakerIsMatchedRight) {
  ASSERT_NO_FATAL_FAILURE(load(slides_));
  for (size_t k = 0; k < slides_.size(); ++k) {
    const FrameMatch match = shown(slides_[k]);
    EXPECT_TRUE(match.matched) << "slide " << k << " confidence " << match.confidence;
    EXPECT_EQ(match.index, static_cast<int>(k));
    // One frame with the speaker on the right still shows the lines that differ.
    EXPECT_EQ(interval({cameraScreen(slides_[k], 420, 4)}).index, static_cast<int>(k));
  }
  EXPECT_FALSE(shown(strangerSlide()).matched) << "a slide that is not among the originals";
}

// No slide change is reported within these intervals: the frames themselves must show it.
TEST_F(EvidenceMatching, FramesThatKeepShowingAnotherOriginalRestartTheEvidenceWhereTheyBegan) {
  ASSERT_NO_FATAL_FAILURE(load(slides_));
  // The next build, its new line uncovered in both frames: it began one frame back.
  FrameMatch match = interval({cameraScreen(slides_[0], 420, 1), cameraScreen(slides_[0], 20, 2),
                               cameraScreen(slides_[0], 230, 3)});
  EXPECT_EQ(match.index, 0);
  EXPECT_EQ(add(cameraScreen(slides_[1], 420, 4)).framesBack, -1);
  EXPECT_EQ(seen(add(cameraScreen(slides_[1], 430, 5))), std::tuple(true, 1, 1));
  EXPECT_EQ(add(cameraScreen(slides_[1], 20, 6)).framesBack, -1) << "restarts once";
  // One frame of another slide (a glance back, a speaker's passing shape) is not enough.
  match = interval({cameraScreen(slides_[2], 420, 7), cameraScreen(slides_[2], 430, 8),
                    cameraScreen(slides_[0], 420, 9), cameraScreen(slides_[2], 425, 10)});
  EXPECT_EQ(match.index, 2);
  EXPECT_EQ(match.framesBack, -1);
  // A jump back over two builds, clear in every frame, restarts too.
  interval({cameraScreen(slides_[2], 420, 11), cameraScreen(slides_[2], 430, 12)});
  add(cameraScreen(slides_[0], 420, 13));
  match = add(cameraScreen(slides_[0], 20, 14));
  EXPECT_EQ(match.index, 0);
  EXPECT_EQ(match.framesBack, 1);
}

// Talks advance one slide at a time: the last original matched and the next one in the list
// need only matchMargin, any other (a jump, a slide of the template that is not among the
// originals leaning to some far one) matchJumpMargin. Here no evidence is clear enough.
TEST_F(EvidenceMatching, AnOriginalOutOfTheDecksOrderNeedsTheJumpMargin) {
  options_.matchJumpMargin = 1.0f;
  ASSERT_NO_FATAL_FAILURE(load(slides_));
  // Slide shown, whether matched. The first original is the next one at the start; a refused
  // jump leaves the order as it was.
  const std::pair<int, bool> steps[] = {{2, false}, {0, true}, {0, true}, {2, false},
                                        {1, true},  {2, true}, {0, false}};
  unsigned seed = 1;
  for (const auto& [slide, matched] : steps) {
    const FrameMatch match = interval({cameraScreen(slides_[slide], 420, seed++)});
    EXPECT_EQ(match.index, slide);
    EXPECT_EQ(match.matched, matched) << "slide " << slide;
  }
}

// A slide that is not among the originals, between two builds (half the fifth line): its
// frames side with neither, and the frames of the build that follows, each clear,
// start the evidence where they began, though no change was reported between.
TEST_F(EvidenceMatching, FramesThatSidedWithNoneGiveWayToFramesThatClearlyShowOne) {
  ASSERT_NO_FATAL_FAILURE(load(slides_));
  const cv::Mat between =
      templateSlide("Overview", {kLines[0], kLines[1], kLines[2], kLines[3], "Thanks to all w"});
  FrameMatch match = interval({cameraScreen(between, -1, 1), cameraScreen(between, -1, 2)});
  EXPECT_FALSE(match.matched) << match.index << " " << match.confidence;
  EXPECT_EQ(add(cameraScreen(slides_[2], -1, 3)).framesBack, -1);
  EXPECT_EQ(seen(add(cameraScreen(slides_[2], -1, 4))), std::tuple(true, 2, 1));
}

// A change confirmed a frame late: the frame where the next slide first showed must not name
// an original for the interval that ends (a slide not among the originals, then its neighbour).
TEST_F(EvidenceMatching, TheFrameWhereAChangeFirstShowedLeavesTheEndedIntervalUndecided) {
  ASSERT_NO_FATAL_FAILURE(load(slides_));
  for (const bool lastFrameIsNext : {false, true}) {
    const FrameMatch stranger = interval({cameraScreen(strangerSlide(), 20, 1)});
    EXPECT_FALSE(stranger.matched);
    ASSERT_TRUE(add(cameraScreen(slides_[stranger.index], -1, 2)).matched);
    const EvidenceDecision ended = frameMatcherEnd(matcher_, lastFrameIsNext);
    EXPECT_EQ(ended.matched, !lastFrameIsNext);
    EXPECT_EQ(matcher_.accumulator.frames, 0);
  }
}

// A slide that is not among the originals, its fourth line cut short: the line's end says the
// build before, its start the build after, and the interval takes the first. Once a speaker
// hides the end, the start alone says the build after, but it looked so all along: only
// windows that changed within the interval may name another original.
TEST_F(EvidenceMatching, AnotherOriginalIsNamedWithinAnIntervalOnlyWhereTheScreenChanged) {
  const cv::Mat shortLine = templateSlide("Overview", {kLines[0], kLines[1], kLines[2], "Limits"});
  const cv::Rect speaker(180, 230, 300, 110);
  const cv::Mat mask = maskOf(speaker);
  for (const float distance : {0.0f, options_.matchChangeDistance}) {
    options_.matchChangeDistance = distance;
    ASSERT_NO_FATAL_FAILURE(load({slides_[0], slides_[1]}));
    FrameMatch match = interval({cameraScreen(shortLine, -1, 1), cameraScreen(shortLine, -1, 2)});
    ASSERT_EQ(match.index, 0);
    for (unsigned seed = 3; seed <= 4; ++seed) {
      cv::Mat screen = cameraScreen(shortLine, -1, seed);
      screen(speaker).setTo(60);
      match = add(screen, mask);
    }
    EXPECT_EQ(match.index, distance == 0.0f ? 1 : 0) << "distance " << distance;
  }
}

// The next build with its new line behind the speaker, then clear, then with most of the line
// hidden (painted over), then clear again: the frame that only leans to it does not break the
// run, and the run starts at the covered frame, the first that did not show the build before.
TEST_F(EvidenceMatching, AChangeShowingBitByBitStartsWhereTheOldSlideWasLastSeen) {
  ASSERT_NO_FATAL_FAILURE(load(slides_));
  ASSERT_EQ(interval({cameraScreen(slides_[0], -1, 1), cameraScreen(slides_[0], -1, 2)}).index, 0);
  EXPECT_EQ(add(cameraScreen(slides_[1], -1, 3), maskOf({0, 250, 640, 60})).framesBack, -1);
  EXPECT_EQ(add(cameraScreen(slides_[1], -1, 4)).framesBack, -1);
  EXPECT_EQ(add(lineHidden(5, 300)).framesBack, -1);
  const FrameMatch match = add(cameraScreen(slides_[1], -1, 6));
  EXPECT_EQ(match.index, 1);
  EXPECT_EQ(match.framesBack, 3);
}

// The next build shows clearly once, then its new line is half hidden for good: one frame
// sides with neither build, the others only lean to the new one. With matchLeanFrames the run
// outlasts the frame that sided with none and starts the evidence where the build first
// showed; with 0 the interval goes on as the old build.
TEST_F(EvidenceMatching, ABuildThatShowedClearlyOnceStartsOverOnFramesThatLeanToIt) {
  for (const int leanFrames : {0, 4}) {
    options_.matchLeanFrames = leanFrames;
    ASSERT_NO_FATAL_FAILURE(load({slides_[0], slides_[1], slides_[2]}));
    ASSERT_EQ(interval({cameraScreen(slides_[0], -1, 1), cameraScreen(slides_[0], -1, 2)}).index,
              0);
    EXPECT_EQ(add(cameraScreen(slides_[1], -1, 3)).framesBack, -1);
    EXPECT_EQ(add(lineHidden(4, 200)).framesBack, -1);
    FrameMatch match;
    int restarts = 0;
    for (unsigned seed = 5; seed <= 7; ++seed) {
      match = add(lineHidden(seed, 230));
      if (match.framesBack >= 0) {
        ++restarts;
        EXPECT_EQ(match.framesBack, 4) << "where the build first showed";
      }
    }
    EXPECT_EQ(restarts, leanFrames ? 1 : 0) << "matchLeanFrames " << leanFrames;
    EXPECT_EQ(match.index, leanFrames ? 1 : 0) << "matchLeanFrames " << leanFrames;
  }
}

TEST_F(EvidenceMatching, ACoveredMaskCountsOnlyWhileItCoversASpeakersShare) {
  ASSERT_NO_FATAL_FAILURE(load(slides_));
  // Most of the screen not seen yet after a change, the differing lines among it: the mask
  // is left aside and the lines still tell. A speaker's mask: his windows do not count, the
  // rest decides as without him.
  const std::pair<int, cv::Rect> cases[] = {{2, {0, 150, 640, 330}}, {1, {420, 90, 200, 390}}};
  unsigned seed = 1;
  for (const auto& [slide, covered] : cases) {
    frameMatcherReset(matcher_);
    for (int frame = 0; frame < 2; ++frame) {
      const FrameMatch match = add(cameraScreen(slides_[slide], 420, seed++), maskOf(covered));
      EXPECT_TRUE(match.matched) << slide;
      EXPECT_EQ(match.index, slide);
    }
  }
  // Covered where the builds differ: no original is named, the builds are not one picture.
  frameMatcherReset(matcher_);
  EXPECT_FALSE(add(cameraScreen(slides_[1], -1, 5), maskOf({0, 250, 640, 60})).matched);
}

// A table of digits; with coloured, its columns drawn on red and blue bars.
cv::Mat tableSlide(bool coloured) {
  cv::Mat s = templateSlide("Example", {kLines[0], kLines[1]});
  for (int c = 0; c < 4 && coloured; ++c)
    cv::rectangle(s, {130 + 70 * c, 370, 44, 300},
                  c % 3 ? cv::Scalar(60, 60, 230) : cv::Scalar(230, 70, 60), cv::FILLED);
  for (int r = 0; r < 5; ++r)
    for (int c = 0; c < 4; ++c)
      cv::putText(s, std::to_string((r * 7 + c * 3) % 2), {140 + 70 * c, 410 + 55 * r},
                  cv::FONT_HERSHEY_SIMPLEX, 1.1, cv::Scalar(30, 30, 30), 2);
  return s;
}

// A slide shown before and one that is not among the originals, differing from it only in
// how a table is drawn, seen under the same camera and speaker: only the pictures tell them.
TEST_F(EvidenceMatching, AChangeToASlideThatDiffersFromTheOriginalBeforeInABlockIsNotNamed) {
  const auto shownAndEnded = [&](const cv::Mat& slide) {
    for (int x : {20, 230, 420}) add(cameraScreen(slide, x, x));
    return frameMatcherEnd(matcher_, false);
  };
  for (const float limit : {1.0f, options_.matchUnexplained}) {
    options_.matchUnexplained = limit;
    ASSERT_NO_FATAL_FAILURE(load({slides_[0], tableSlide(false), slides_[2]}));
    EXPECT_TRUE(shownAndEnded(tableSlide(false)).matched);
    EXPECT_TRUE(shownAndEnded(tableSlide(false)).matched) << "the same slide after a change";
    EXPECT_EQ(shownAndEnded(tableSlide(true)).matched, limit == 1.0f) << "limit " << limit;
    // The evidence alone decided it: the verdict says the pictures refused it.
    EXPECT_EQ(matcher_.ended.pictureRefused, limit != 1.0f);
    EXPECT_EQ(matcher_.ended.leading, 1);
    // Judged against the table's last showing however long ago.
    EXPECT_TRUE(shownAndEnded(slides_[2]).matched);
    EXPECT_EQ(shownAndEnded(tableSlide(true)).matched, limit == 1.0f) << "back, limit " << limit;
  }
}

// A slide not among the originals whose first frame leaned to one of them, then that original
// after a change: the first interval's record loses the match once the second shows it clearly.
TEST_F(EvidenceMatching, AMatchTheWholeIntervalNoLongerHeldGoesWhenTheNextShowsItClearly) {
  const cv::Mat stranger = templateSlide("Overview", {kLines[0], kLines[1], kLines[2], "Demo"});
  for (const int withdraw : {0, 1}) {
    options_.matchWithdraw = withdraw;
    ASSERT_NO_FATAL_FAILURE(load(slides_));
    ASSERT_TRUE(interval({cameraScreen(slides_[1], -1, 1)}).matched);
    FrameMatch match;
    for (unsigned seed = 2; seed <= 5; ++seed) match = add(cameraScreen(stranger, -1, seed));
    ASSERT_FALSE(match.matched);
    ASSERT_FALSE(frameMatcherEnd(matcher_, false).matched);
    bool withdrawn = false;
    for (unsigned seed = 6; seed <= 8; ++seed) {
      match = add(cameraScreen(slides_[1], -1, seed));
      withdrawn = withdrawn || match.previousWithdrawn;
    }
    EXPECT_TRUE(match.matched);
    EXPECT_EQ(withdrawn, withdraw == 1);
  }
}

// A slide that is not among the originals whose first frame looked clearly like another of
// its template (its body hidden but for the lines they share), a far one or the one shown
// before it: once its whole evidence decides none, at a slide change or where frames that
// clearly show the next original end it, the record loses that match, and the order goes
// on from the original before it.
TEST_F(EvidenceMatching, AnUndecidedIntervalDropsAMatchItsFramesTookOutOfOrderOrAgain) {
  for (const auto& [first, byNext] : {std::pair(2, false), std::pair(0, false), std::pair(0, true)})
    for (const int drop : {0, 1}) {
      options_.matchDropJump = first == 2 ? drop : 1;
      options_.matchDropRepeat = first == 0 ? drop : 1;
      ASSERT_NO_FATAL_FAILURE(load(slides_));
      ASSERT_TRUE(shown(slides_[0]).matched);
      frameMatcherEnd(matcher_, false);
      FrameMatch match = add(cameraScreen(slides_[size_t(first)], -1, 1));
      ASSERT_TRUE(match.matched);
      ASSERT_EQ(match.index, first);
      for (unsigned seed = 2; seed <= 5; ++seed)
        match = add(cameraScreen(strangerSlide(), 20, seed));
      ASSERT_FALSE(match.matched);
      if (byNext) {
        add(cameraScreen(slides_[1], 420, 6));
        ASSERT_GE(add(cameraScreen(slides_[1], 430, 7)).framesBack, 0);
      } else {
        EXPECT_FALSE(frameMatcherEnd(matcher_, false).matched);
        EXPECT_EQ(matcher_.lastMatched, drop ? 0 : first);
        EXPECT_EQ(matcher_.undecidedIndex, drop ? -1 : first);
      }
      EXPECT_EQ(matcher_.ended.matchDropped, drop == 1) << first << byNext;
    }
}

TEST_F(EvidenceMatching, ASingleOriginalIsNamedOnlyWhenShown) {
  ASSERT_NO_FATAL_FAILURE(load({slides_[1]}));
  EXPECT_TRUE(shown(slides_[1]).matched);
  EXPECT_FALSE(shown(strangerSlide()).matched);
  cv::Mat blank(kSlide, CV_8UC3, cv::Scalar(250, 250, 250));
  EXPECT_FALSE(shown(blank).matched);
}

}  // namespace
