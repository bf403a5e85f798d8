// Frames that change nothing visible of a slide whose match is settled count as the frame read
// last (matchQuietMargin): the records, their matches and where they begin stay those of a
// run that reads every processed frame.

#include <algorithm>

#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include "run_harness.h"

using namespace slidetrack;

namespace {

cv::Mat page(const std::string& title, int boxes) {
  cv::Mat s(768, 1024, CV_8UC3, cv::Scalar(245, 245, 240));
  cv::rectangle(s, {0, 0, 1024, 100}, cv::Scalar(140, 70, 30), cv::FILLED);
  cv::putText(s, title, {40, 68}, cv::FONT_HERSHEY_SIMPLEX, 1.8, cv::Scalar(255, 255, 255), 3);
  for (int k = 0; k < boxes; ++k) {
    const cv::Rect box(80 + 300 * (k % 3), 180 + 260 * (k / 3), 240, 200);
    cv::rectangle(s, box, cv::Scalar(40 + 60 * k, 160, 220 - 40 * k), cv::FILLED);
    cv::putText(s, "Part " + std::to_string(k + 1), box.tl() + cv::Point(20, 110),
                cv::FONT_HERSHEY_SIMPLEX, 1.2, cv::Scalar(20, 20, 20), 2);
  }
  return s;
}

class QuietFramesRun : public RunTest {
 protected:
  void SetUp() override {
    LectureScene scene = talkScene();
    scene.deckPages =
        writeOriginals(dir_, {page("Overview", 2), page("Method", 4), page("Results", 6)}, 30);
    scene.noiseSigma = 2;
    scene.seed = 11;
    scene.schedule = {{0, 250}, {1, 250}, {2, 250}};
    ASSERT_NO_FATAL_FAILURE(writeSceneClip(scene, clip_));
  }

  // The records as start:match, and how many processed frames told a match, a change of
  // match or none.
  struct Run : RecordsObserver {
    void noMatch(const SlideRecord&, double) override { ++read; }
    void matchDecided(const SlideRecord&, double) override { ++read; }
    void matchChanged(const SlideRecord&, const SlideRecord&, double) override { ++read; }
    int read = 0;
  };
  Run run() {
    Run observer;
    runPipeline(settings_, {clip_, originalsXml_, std::nullopt}, kTalkCorners, observer);
    return observer;
  }

  PresentationSettings settings_;
  const std::string clip_ = (dir_ / "talk.mp4").string();
  const std::string originalsXml_ = (dir_ / "originals.xml").string();
};

TEST_F(QuietFramesRun, StillSlidesKeepTheirRecordsAndTheirFramesTellTheirMatch) {
  settings_.matchQuietMargin = 0;
  const Run every = run();
  EXPECT_EQ(every.read, 30) << "every processed frame tells its match";
  EXPECT_EQ(std::count(every.records.begin(), every.records.end(), ':'), 3);
  settings_.matchQuietMargin = 0.4f;
  const Run quiet = run();
  EXPECT_EQ(quiet.records, every.records);
  // A frame passed over tells the match of the last one read; only the frames in which a
  // confirmed change first showed, held back and then left out, tell none.
  EXPECT_GE(quiet.read, every.read - 2);
}

}  // namespace
