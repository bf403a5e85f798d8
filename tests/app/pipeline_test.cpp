// The pipeline on a short clip: what it tells its observers, in which order, and the
// slide list it hands them.

#include <map>

#include <gtest/gtest.h>
#include <opencv2/core.hpp>

#include "run_harness.h"

using namespace slidetrack;

namespace {

// Writes every event as a word, frames on their own lines.
class Recorder : public RunObserver {
 public:
  bool needsSlidePictures() const override { return true; }
  void searchStarted() override { log += "search "; }
  void framesStarted() override { log += "start\n"; }
  void frameStarted(int t, int) override { log += std::to_string(t) + ":"; }
  void slideEnded(const SlideRecord& r, const cv::Mat& picture) override {
    log += " ended" + std::to_string(r.id) + (picture.empty() ? "-" : "+");
    pictures[r.id] = picture.clone();
  }
  void slideChanged(const SlideRecord& r) override { log += " changed" + std::to_string(r.id); }
  void noMatch(const SlideRecord&, double) override { log += " none"; }
  void matchDecided(const SlideRecord& o, double) override {
    log += " match" + std::to_string(o.id);
  }
  void matchChanged(const SlideRecord&, const SlideRecord& to, double) override {
    log += " rematch" + std::to_string(to.id);
  }
  Control frameDone(const FrameEvent& frame) override {
    log += frame.recordOpened ? " opened\n" : "\n";
    return frame.t == stopAt ? Control::kStop : Control::kGoOn;
  }
  void runFinished(const SlideList& slides) override {
    for (const SlideRecord& r : slides.slides)
      log += "[" + std::to_string(r.start) + "," + std::to_string(r.end) + "]" +
             (r.match ? std::to_string(r.match->id) : "-") + (r.src ? "p" : "") + " ";
  }
  std::string log;
  std::map<int, cv::Mat> pictures;
  int stopAt = -1;
};

class PipelineTest : public RunTest {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(writeTwoSlideTalk(clip_));
    writeOriginals(
        dir_, {drawSlide(0, {1024, 768}), drawSlide(1, {1024, 768}), drawSlide(2, {1024, 768})},
        10);
  }
  // A whole run with the screen's corners known; returns what the recorder saw.
  std::string run(RunInput input, Recorder& recorder) {
    runPipeline(settings_, std::move(input), kTalkCorners, recorder);
    return recorder.log;
  }
  PresentationSettings settings_;
  const std::string clip_ = (dir_ / "talk.mp4").string();
  const std::string originalsXml_ = (dir_ / "originals.xml").string();
};

// The design's worked order: a change closes the record (with its picture) before the
// next opens, the match of a frame lands in the record it opened, the end closes the last.
// A change is confirmed a processed frame after it showed; its record starts where it
// showed. With the design's edge maps it is decided in the frame that shows it. Frames that
// change nothing of a settled slide count as the frame read last (matchQuietMargin): only the
// frame whose change is confirmed next is held back and tells no match, and the records stay
// those of a run that reads every frame.
TEST_F(PipelineTest, TellsEachFrameInOrderAndHandsOverTheFinishedList) {
  const std::string quiet =
      "start\n"
      "0: match10 opened\n"
      "25: match10\n"
      "50: match10\n"
      "75:\n"
      "100: ended0+ changed1 match11 opened\n"
      "125: match11\n"
      " ended1+[0,74]10p [75,125]11p ";
  Recorder recorder;
  EXPECT_EQ(run({clip_, originalsXml_, "pics/"}, recorder), quiet);
  settings_.matchQuietMargin = 0;
  std::string everyFrame = quiet;
  everyFrame.replace(everyFrame.find("75:"), 3, "75: match10");
  Recorder every;
  EXPECT_EQ(run({clip_, originalsXml_, "pics/"}, every), everyFrame);
  Recorder plain;
  settings_.slideDetMethod = "plain";
  EXPECT_EQ(run({clip_, originalsXml_, "pics/"}, plain),
            "start\n"
            "0: match10 opened\n"
            "25: match10\n"
            "50: match10\n"
            "75: ended0+ changed1 match11 opened\n"
            "100: match11\n"
            "125: match11\n"
            " ended1+[0,74]10p [75,125]11p ");
}

// The change decision told to see no change at all: the frames of the second slide, two in a
// row, overrule the first's evidence, and its record starts at the first of them. The first
// record's picture is the slide as it was before them.
TEST_F(PipelineTest, FramesShowingAnotherOriginalStartItsRecordWhereTheyBegan) {
  settings_.slideChangeCells = 10000;
  Recorder recorder;
  EXPECT_EQ(run({clip_, originalsXml_, "pics/"}, recorder),
            "start\n"
            "0: match10 opened\n"
            "25: match10\n"
            "50: match10\n"
            "75: match10\n"
            "100: rematch11 ended0+ opened\n"
            "125: match11\n"
            " ended1+[0,74]10p [75,125]11p ");
  const cv::Mat& first = recorder.pictures[0];
  ASSERT_FALSE(first.empty());
  const auto distance = [&](int k) {
    cv::Mat slide = drawSlide(k, first.size()), diff;
    cv::absdiff(first, slide, diff);
    return cv::norm(cv::mean(diff));
  };
  EXPECT_LT(distance(0), 0.5 * distance(1));
}

TEST_F(PipelineTest, WithoutOriginalsNothingIsMatchedAndAStopEndsTheRunAtThatFrame) {
  Recorder recorder;
  recorder.stopAt = 25;
  EXPECT_EQ(run({clip_, std::nullopt, std::nullopt}, recorder),
            "start\n"
            "0: opened\n"
            "25:\n"
            "[0,25]- ");
}

}  // namespace
