// A slide that is not among the originals but shares their template, shown after one that is,
// with a speaker in front and no slide change reported between them: the frames that the
// record's original stops explaining end its record, and the slide they show keeps no match.

#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include "run_harness.h"
#include "template_slide.h"

using namespace slidetrack;

namespace {

// The workshop's template has no navigation dots.
cv::Mat page(const std::string& title, const std::vector<std::string>& lines) {
  return templateSlide(title, lines, "Workshop 2025 - B. Speaker", 0);
}

// Not among the originals: the first one's title, two boxed blocks below it.
cv::Mat stranger() {
  cv::Mat s = page("Setting", {});
  for (int y : {130, 420}) {
    cv::rectangle(s, {60, y, 900, 250}, cv::Scalar(120, 60, 20), 3);
    cv::rectangle(s, {60, y, 900, 50}, cv::Scalar(120, 60, 20), cv::FILLED);
    cv::putText(s, y < 400 ? "Inputs" : "Outputs", {80, y + 38}, cv::FONT_HERSHEY_SIMPLEX, 1.1,
                cv::Scalar(255, 255, 255), 2);
    cv::putText(s, "A camera view", {100, y + 120}, cv::FONT_HERSHEY_SIMPLEX, 1.1,
                cv::Scalar(30, 30, 30), 2);
  }
  return s;
}

class UnknownSlideRun : public RunTest {
 protected:
  void SetUp() override {
    const std::vector<cv::Mat> pages = {
        page("Setting", {"Two cameras in the hall", "One speaker walks"}),
        page("Setting", {"Two cameras in the hall", "One speaker walks", "Slides: PDF"}),
        page("Results", {"Found 28 of 28 slides", "Two late by a second"}), stranger()};
    LectureScene scene = talkScene();
    scene.deckPages = writeOriginals(dir_, pages, 20, 3);
    scene.speaker = true;
    scene.noiseSigma = 2;
    scene.seed = 7;
    scene.schedule = {{0, 150}, {3, 150}, {1, 150}};
    ASSERT_NO_FATAL_FAILURE(writeSceneClip(scene, clip_));
    // The change decision is told to see no change: only the matching can end the record.
    settings_.slideChangeCells = 10000;
  }

  // The records of a whole run, as start:match (- for none).
  std::string records() {
    RecordsObserver observer;
    runPipeline(settings_, {clip_, originalsXml_, std::nullopt}, kTalkCorners, observer);
    return observer.records;
  }

  PresentationSettings settings_;
  const std::string clip_ = (dir_ / "talk.mp4").string();
  const std::string originalsXml_ = (dir_ / "originals.xml").string();
};

TEST_F(UnknownSlideRun, FramesTheOriginalNoLongerExplainsEndItsRecordWithoutAMatch) {
  // The original with the speaker in front keeps its match; the stranger (from picture 151 on)
  // starts a record of its own at the first processed frame that shows it, and the next build
  // of the original one where it shows.
  EXPECT_EQ(records(), "0:20 175:- 325:21 ");
  settings_.matchFitDrop = 0;
  EXPECT_EQ(records(), "0:20 325:21 ") << "the first record goes on over the stranger";
}

}  // namespace
