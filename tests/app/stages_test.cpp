// The two stages of a run, driven frame by frame without a video.

#include <gtest/gtest.h>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "display.h"
#include "interval_stage.h"
#include "lecture_scene.h"
#include "matching_stage.h"
#include "presentation_settings.h"
#include "results_xml.h"
#include "run_harness.h"

namespace {

class Stages : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = freshDir("stages");
    xml_ = (dir_ / "result.xml").string();
    auto originals = slideListCreate(nullptr, nullptr);
    for (int k = 0; k < 3; ++k) {
      const std::string png = (dir_ / ("o" + std::to_string(k) + ".png")).string();
      cv::imwrite(png, drawSlide(k, {1024, 768}));
      originals->slides.push_back(slideRecordMake(10 + k, png.c_str(), 0, 0, 0.0));
    }
    originalsXml_ = (dir_ / "originals.xml").string();
    ASSERT_EQ(slidesSaveToXmlNode(originals.get(), originalsXml_), 1);
  }
  void TearDown() override { fs::remove_all(dir_); }

  // The rectified screen showing slide k.
  cv::Mat screen(int k) {
    cv::Mat s;
    cv::resize(drawSlide(k, {1024, 768}), s, {settings_.presentWidth, settings_.presentHeight}, 0,
               0, cv::INTER_AREA);
    return s;
  }

  // One frame as the run does it; returns the records in the file after the frame.
  std::unique_ptr<SlideList> frame(IntervalStage& intervals, MatchingStage* matching, int t,
                                   const cv::Mat& image) {
    intervalStageFrameBegin(intervals);
    const bool changed = intervalStageProcess(intervals, t, image);
    if (matching) {
      if (changed) matchingStageReset(*matching);
      cv::Mat gray;
      cv::cvtColor(image, gray, cv::COLOR_BGR2GRAY);
      matchingStageProcess(*matching, intervals, t, gray, settings_);
    }
    intervalStageSave(intervals);
    return slidesLoadFromXml(nullptr, xml_.c_str());
  }

  PresentationSettings settings_;
  fs::path dir_;
  std::string xml_, originalsXml_;
};

TEST_F(Stages, NoProcessedFrameLeavesNoRecordAndNoFile) {
  IntervalStage intervals;
  intervalStagePrepare(intervals, (dir_ / "pics/").string(), xml_);
  ASSERT_TRUE(intervalStageCreate(intervals, "talk.mp4", nullptr, settings_));
  intervalStageFinish(intervals);
  EXPECT_FALSE(fs::exists(xml_));
  EXPECT_TRUE(fs::is_empty(dir_ / "pics"));
}

TEST_F(Stages, ChangeAndMatchOfOneFrameReachTheFileTogether) {
  IntervalStage intervals;
  MatchingStage matching;
  Display headless(false);
  intervalStagePrepare(intervals, std::nullopt, xml_);
  matchingStageInit(matching, settings_);
  ASSERT_TRUE(matchingStageLoad(matching, originalsXml_, settings_, headless));
  ASSERT_TRUE(matchingEnabled(matching));
  ASSERT_TRUE(intervalStageCreate(intervals, "talk.mp4", originalsXml_.c_str(), settings_));

  auto list = frame(intervals, &matching, 0, screen(0));
  ASSERT_EQ(list->slides.size(), 1u);
  ASSERT_TRUE(list->slides[0].match) << "the first frame's match is in the file at once";
  EXPECT_EQ(list->slides[0].match->id, 10);

  frame(intervals, &matching, 25, screen(0));
  list = frame(intervals, &matching, 50, screen(1));
  ASSERT_EQ(list->slides.size(), 2u);
  EXPECT_EQ(list->slides[0].end, 49);
  EXPECT_EQ(list->slides[1].start, 50);
  ASSERT_TRUE(list->slides[1].match);
  EXPECT_EQ(list->slides[1].match->id, 11);
  EXPECT_NEAR(list->slides[1].confidence, intervals.currentRecord->confidence, 1e-6);
  EXPECT_LT(list->slides[1].confidence, 0.5);

  // Frames that open nothing do not rewrite the file; the end of the run does.
  frame(intervals, &matching, 75, screen(1));
  intervalStageFinish(intervals);
  list = slidesLoadFromXml(nullptr, xml_.c_str());
  ASSERT_EQ(list->slides.size(), 2u);
  EXPECT_EQ(list->slides[1].end, 75);
  EXPECT_EQ(*list->originalsSrc, originalsXml_);
}

TEST_F(Stages, MatchToAnotherOriginalOpensANewRecordWithItsScore) {
  IntervalStage intervals;
  MatchingStage matching;
  Display headless(false);
  intervalStagePrepare(intervals, (dir_ / "pics/").string(), xml_);
  matchingStageInit(matching, settings_);
  ASSERT_TRUE(matchingStageLoad(matching, originalsXml_, settings_, headless));
  ASSERT_TRUE(intervalStageCreate(intervals, "talk.mp4", originalsXml_.c_str(), settings_));
  frame(intervals, &matching, 0, screen(0));
  // Votes for original 2 outweigh those for 0 although the detector saw no change.
  matching.matchAccumulator.at<float>(0, 2) += 10000.f;
  testing::internal::CaptureStdout();
  auto list = frame(intervals, &matching, 25, screen(0));
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("\t -> SlideMatchChange[    10 ->     12:"), std::string::npos) << out;
  ASSERT_EQ(list->slides.size(), 2u);
  EXPECT_EQ(list->slides[0].end, 24);
  EXPECT_EQ(list->slides[1].start, 25);
  EXPECT_EQ(list->slides[1].match->id, 12);
  EXPECT_NEAR(list->slides[1].confidence, matching.matchScore, 1e-6);
  EXPECT_TRUE(fs::exists(dir_ / "pics/slide_00000000.jpg"));
}

}  // namespace
