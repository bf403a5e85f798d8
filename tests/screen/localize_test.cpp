// Screen localisation: sample positions, the acceptance rule, the sampling loop over a real
// clip with a scripted detector, and the search on generated lecture clips.

#include <stdlib.h>

#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include "clip_writer.h"
#include "presentation_localize.h"
#include "video_source.h"

namespace {

TEST(LocalizeSamples, PositionsSpanTheMiddleHalf) {
  std::vector<int> positions;
  for (int i = 0; i < 10; ++i) positions.push_back(localizeSamplePosition(1000, i, 10));
  EXPECT_EQ(positions, (std::vector<int>{248, 298, 348, 398, 448, 498, 548, 598, 648, 698}));
  EXPECT_EQ(localizeSamplePosition(4, 0, 10), -1);
  EXPECT_EQ(localizeSamplePosition(1000, 0, 1), 248);
  EXPECT_EQ(localizeSamplePosition(7, 2, 3), 1 + (3 * 2) / 3 - 2);
  // Long videos: the product does not overflow.
  EXPECT_EQ(localizeSamplePosition(2000000000, 9, 10), 500000000 + 900000000 - 2);
}

TEST(LocalizeSamples, AcceptsOnlyLargerCandidatesWithinOnePercent) {
  float best = 0.f, area = 0.f;
  auto offer = [&](float s, float a) {
    if (!localizeAccepts(s, a, best, area)) return false;
    best = s, area = a;
    return true;
  };
  EXPECT_FALSE(offer(0.f, 1000.f));  // a zero score never counts, even against zero
  EXPECT_TRUE(offer(0.50f, 100.f));
  EXPECT_FALSE(offer(0.495f, 200.f));  // exactly 1 % lower is not enough
  EXPECT_TRUE(offer(0.496f, 120.f));
  EXPECT_EQ(best, 0.496f);
  EXPECT_FALSE(offer(0.60f, 110.f));  // better but smaller
  EXPECT_FALSE(offer(0.60f, 120.f));  // same size
  EXPECT_TRUE(offer(0.60f, 121.f));
  const cv::Point2f quad[4] = {{10, 20}, {110, 25}, {100, 85}, {12, 80}};
  EXPECT_FLOAT_EQ(localizeArea(quad), 100.f * 60.f);
}

// A 40-frame clip of a flat colour: blue 200 in the first channel.
class LocalizeLoop : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    char name[] = "/tmp/localize_test.XXXXXX";
    dir_ = mkdtemp(name);
    clip_ = dir_ + "/flat.avi";
    ClipOptions options;
    options.codec = "mjpeg";
    options.width = 160;
    options.height = 120;
    std::string error;
    ASSERT_TRUE(writeClip(
        clip_, options, 40, [](int) { return cv::Mat(120, 160, CV_8UC3, cv::Scalar(200, 0, 0)); },
        &error))
        << error;
  }
  static void TearDownTestSuite() { std::system(("rm -rf '" + dir_ + "'").c_str()); }

  void SetUp() override {
    video_ = videoSourceCreate();
    ASSERT_EQ(videoSourceOpen(video_.get(), clip_), 1);
    ASSERT_EQ(videoSourceFrameCount(video_.get()), 40);
  }

  std::string run(int count, const BoardDetector& detect, const SampleViewer& viewer) {
    testing::internal::CaptureStdout();
    result_ = presentationLocalizeWith(video_.get(), count, detect, viewer);
    return testing::internal::GetCapturedStdout();
  }

  static std::string dir_, clip_;
  std::unique_ptr<VideoSource> video_;
  cv::Mat result_;
};
std::string LocalizeLoop::dir_, LocalizeLoop::clip_;

struct Candidate {
  float score;
  cv::Point2f c[4];
};

TEST_F(LocalizeLoop, EscKeepsTheBestAcceptedSoFar) {
  const std::vector<Candidate> script = {
      {0.50f, {{20, 20}, {100, 20}, {100, 80}, {20, 80}}},
      {0.496f, {{10.4f, 10.6f}, {140, 12}, {139, 100}, {11, 99}}},
      {0.60f, {{40, 40}, {80, 40}, {80, 70}, {40, 70}}},
      {0.90f, {{1, 1}, {159, 1}, {159, 119}, {1, 119}}}};
  int detected = 0;
  std::vector<cv::Mat> shown;
  auto detect = [&](const cv::Mat& grey, cv::Point2f corners[4]) {
    EXPECT_EQ(grey.type(), CV_8UC1);
    EXPECT_EQ(grey.size(), cv::Size(160, 120));
    // Conversion code 7 weights the first (blue) channel 0.299: 200 * 0.299 = 60.
    EXPECT_NEAR(grey.at<uchar>(60, 80), 60, 6);
    const Candidate& c = script[detected++];
    std::copy(c.c, c.c + 4, corners);
    return c.score;
  };
  auto viewer = [&](const cv::Mat& colour) {
    shown.push_back(colour.clone());
    return shown.size() == 3 ? 27 : -1;
  };
  const std::string out = run(10, detect, viewer);
  EXPECT_EQ(out,
            "Start presentation detection.\n"
            "Seek the video position: 8\n"
            "Seek the video position: 10\n"
            "Seek the video position: 12\n"
            "Presentation screen was localized.\n");
  EXPECT_EQ(detected, 3);
  ASSERT_EQ(result_.type(), CV_32FC2);
  ASSERT_EQ(result_.total(), 4u);
  for (int k = 0; k < 4; ++k) EXPECT_EQ(result_.at<cv::Point2f>(0, k), script[1].c[k]);
  EXPECT_FALSE(videoSourceIsOpen(video_.get()));
  // The third picture shows the best quadrilateral (the second candidate), blue, ends rounded.
  ASSERT_EQ(shown.size(), 3u);
  ASSERT_EQ(shown[2].type(), CV_8UC3);
  const cv::Vec3b blue(255, 0, 0);
  EXPECT_EQ(shown[2].at<cv::Vec3b>(11, 10), blue);
  EXPECT_EQ(shown[2].at<cv::Vec3b>(99, 11), blue);
  EXPECT_NE(shown[2].at<cv::Vec3b>(40, 60), blue);  // not the rejected third candidate
}

TEST_F(LocalizeLoop, NothingFoundSamplesAllPositionsAndClosesTheVideo) {
  int detected = 0;
  auto none = [&](const cv::Mat&, cv::Point2f corners[4]) {
    ++detected;
    std::fill(corners, corners + 4, cv::Point2f(0, 0));
    return 0.f;
  };
  const std::string out = run(4, none, SampleViewer());
  EXPECT_EQ(out,
            "Start presentation detection.\n"
            "Seek the video position: 8\n"
            "Seek the video position: 13\n"
            "Seek the video position: 18\n"
            "Seek the video position: 23\n"
            "Presentation screen was NOT localized.\n");
  EXPECT_EQ(detected, 4);
  EXPECT_TRUE(result_.empty());
  EXPECT_FALSE(videoSourceIsOpen(video_.get()));
}

TEST_F(LocalizeLoop, NoSamplesOrNoSourceMeansNotFound) {
  int detected = 0;
  auto found = [&](const cv::Mat&, cv::Point2f corners[4]) {
    ++detected;
    const cv::Point2f quad[4] = {{10, 10}, {150, 10}, {150, 110}, {10, 110}};
    std::copy(quad, quad + 4, corners);
    return 0.8f;
  };
  EXPECT_EQ(run(0, found, SampleViewer()),
            "Start presentation detection.\nPresentation screen was NOT localized.\n");
  EXPECT_EQ(detected, 0);
  EXPECT_TRUE(result_.empty());
  EXPECT_FALSE(videoSourceIsOpen(video_.get()));

  // A source that delivers nothing: no sample, no corners, still closed.
  auto closed = videoSourceCreate();
  testing::internal::CaptureStdout();
  cv::Mat none = presentationLocalizeWith(closed.get(), 5, found, SampleViewer());
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_TRUE(none.empty());
  EXPECT_NE(out.find("NOT localized"), std::string::npos);
  EXPECT_EQ(detected, 0);
}

}  // namespace
