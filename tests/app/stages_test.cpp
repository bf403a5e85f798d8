// The two stages of a run, driven frame by frame without a video.

#include <gtest/gtest.h>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "app/display.h"
#include "app/interval_stage.h"
#include "app/matching_stage.h"
#include "lecture_scene.h"
#include "results/results_xml.h"
#include "run_harness.h"
#include "screen/presentation_settings.h"

using namespace slidetrack;

namespace {

class Stages : public RunTest {
 protected:
  void SetUp() override {
    auto originals = slideListCreate(nullptr, nullptr);
    for (int k = 0; k < 3; ++k) {
      const std::string png = (dir_ / ("o" + std::to_string(k) + ".png")).string();
      cv::imwrite(png, drawSlide(k, {1024, 768}));
      originals->slides.push_back(slideRecordMake(10 + k, png.c_str(), 0, 0, 0.0));
    }
    ASSERT_EQ(slidesSaveToXmlNode(originals.get(), originalsXml_), 1);
  }
  // Both stages ready for a run with the three originals.
  void start(std::optional<std::string> pictures) {
    intervalStagePrepare(intervals_, pictures, xml_);
    matchingStageInit(matching_, settings_);
    ASSERT_TRUE(matchingStageLoad(matching_, originalsXml_, settings_, headless_));
    ASSERT_TRUE(matchingEnabled(matching_));
    ASSERT_TRUE(
        intervalStageCreate(intervals_, "talk.mp4", originalsXml_.c_str(), settings_, false));
  }

  // The rectified screen showing slide k.
  cv::Mat screen(int k) {
    cv::Mat s;
    cv::resize(drawSlide(k, {1024, 768}), s, {settings_.presentWidth, settings_.presentHeight}, 0,
               0, cv::INTER_AREA);
    return s;
  }

  // One frame as the run does it; returns the records in the file after the frame.
  std::unique_ptr<SlideList> frame(int t, const cv::Mat& image) {
    intervalStageFrameBegin(intervals_);
    if (intervalStageProcess(intervals_, t, image)) matchingStageReset(matching_);
    cv::Mat gray;
    cv::cvtColor(image, gray, cv::COLOR_BGR2GRAY);
    matchingStageProcess(matching_, intervals_, t, gray, settings_);
    intervalStageSave(intervals_);
    return slidesLoadFromXml(nullptr, xml_.c_str());
  }

  PresentationSettings settings_;
  IntervalStage intervals_;
  MatchingStage matching_;
  Display headless_{false};
  const std::string xml_ = (dir_ / "result.xml").string();
  const std::string originalsXml_ = (dir_ / "originals.xml").string();
};

TEST_F(Stages, NoProcessedFrameLeavesNoRecordAndNoFile) {
  intervalStagePrepare(intervals_, (dir_ / "pics/").string(), xml_);
  ASSERT_TRUE(intervalStageCreate(intervals_, "talk.mp4", nullptr, settings_, false));
  intervalStageFinish(intervals_);
  EXPECT_FALSE(fs::exists(xml_));
  EXPECT_TRUE(fs::is_empty(dir_ / "pics"));
}

TEST_F(Stages, ChangeAndMatchOfOneFrameReachTheFileTogether) {
  ASSERT_NO_FATAL_FAILURE(start(std::nullopt));

  auto list = frame(0, screen(0));
  ASSERT_EQ(list->slides.size(), 1u);
  ASSERT_TRUE(list->slides[0].match) << "the first frame's match is in the file at once";
  EXPECT_EQ(list->slides[0].match->id, 10);

  frame(25, screen(0));
  list = frame(50, screen(1));
  ASSERT_EQ(list->slides.size(), 2u);
  EXPECT_EQ(list->slides[0].end, 49);
  EXPECT_EQ(list->slides[1].start, 50);
  ASSERT_TRUE(list->slides[1].match);
  EXPECT_EQ(list->slides[1].match->id, 11);
  EXPECT_NEAR(list->slides[1].confidence, intervals_.currentRecord->confidence, 1e-6);
  EXPECT_LT(list->slides[1].confidence, 0.5);

  // Frames that open nothing do not rewrite the file; the end of the run does.
  frame(75, screen(1));
  intervalStageFinish(intervals_);
  list = slidesLoadFromXml(nullptr, xml_.c_str());
  ASSERT_EQ(list->slides.size(), 2u);
  EXPECT_EQ(list->slides[1].end, 75);
  EXPECT_EQ(*list->originalsSrc, originalsXml_);
}

TEST_F(Stages, MatchToAnotherOriginalOpensANewRecordWithItsScore) {
  settings_.matchMethod = "plain";
  ASSERT_NO_FATAL_FAILURE(start((dir_ / "pics/").string()));
  frame(0, screen(0));
  // Votes for original 2 outweigh those for 0 although the detector saw no change.
  matching_.matcher.accumulated.at<float>(0, 2) += 10000.f;
  auto list = frame(25, screen(0));
  ASSERT_EQ(list->slides.size(), 2u);
  EXPECT_EQ(list->slides[0].end, 24);
  EXPECT_EQ(list->slides[1].start, 25);
  EXPECT_EQ(list->slides[1].match->id, 12);
  EXPECT_NEAR(list->slides[1].confidence, matching_.matchScore, 1e-6);
  EXPECT_TRUE(fs::exists(dir_ / "pics/slide_00000000.jpg"));
}

}  // namespace
