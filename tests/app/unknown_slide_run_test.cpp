// A slide that is not among the originals but shares their template, shown after one that is,
// with a speaker in front and no slide change reported between them: the frames that the
// record's original stops explaining end its record, and the slide they show keeps no match.

#include <gtest/gtest.h>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "results/results_xml.h"
#include "run_harness.h"

using namespace slidetrack;

namespace {

// One template: title bar, footer; the body's lines differ.
cv::Mat templateSlide(const std::string& title, const std::vector<std::string>& lines) {
  cv::Mat s(768, 1024, CV_8UC3, cv::Scalar(250, 250, 250));
  cv::rectangle(s, {0, 0, 1024, 90}, cv::Scalar(120, 60, 20), cv::FILLED);
  cv::putText(s, title, {40, 62}, cv::FONT_HERSHEY_SIMPLEX, 1.6, cv::Scalar(255, 255, 255), 3);
  cv::rectangle(s, {0, 720, 1024, 48}, cv::Scalar(120, 60, 20), cv::FILLED);
  cv::putText(s, "Workshop 2025 - B. Speaker", {30, 752}, cv::FONT_HERSHEY_SIMPLEX, 0.8,
              cv::Scalar(255, 255, 255), 2);
  for (size_t i = 0; i < lines.size(); ++i) {
    const int y = 170 + 95 * static_cast<int>(i);
    cv::circle(s, {70, y - 12}, 9, cv::Scalar(120, 60, 20), cv::FILLED);
    cv::putText(s, lines[i], {100, y}, cv::FONT_HERSHEY_SIMPLEX, 1.2, cv::Scalar(30, 30, 30), 2);
  }
  return s;
}

// Not among the originals: the first one's title, two boxed blocks below it.
cv::Mat stranger() {
  cv::Mat s = templateSlide("Setting", {});
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
        templateSlide("Setting", {"Two cameras in the hall", "One speaker walks"}),
        templateSlide("Setting", {"Two cameras in the hall", "One speaker walks", "Slides: PDF"}),
        templateSlide("Results", {"Found 28 of 28 slides", "Two late by a second"}), stranger()};
    auto originals = slideListCreate(nullptr, nullptr);
    LectureScene scene;
    for (size_t k = 0; k < pages.size(); ++k) {
      const std::string png = (dir_ / ("page" + std::to_string(k) + ".png")).string();
      cv::imwrite(png, pages[k]);
      scene.deckPages.push_back(png);
      if (k < 3) originals->slides.push_back(slideRecordMake(20 + k, png.c_str(), 0, 0, 0.0));
    }
    ASSERT_NO_THROW(slidesSaveToXml(*originals, originalsXml_));
    scene.frameSize = {640, 360};
    std::copy(kTalkCorners.begin(), kTalkCorners.end(), scene.screenCorners.begin());
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
    struct Records : RunObserver {
      void runFinished(const SlideList& slides) override { text = recordsText(slides); }
      std::string text;
    } observer;
    runPipeline(settings_, {clip_, originalsXml_, std::nullopt}, kTalkCorners, observer);
    return observer.text;
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
