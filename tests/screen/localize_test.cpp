// Screen localisation: sample positions, the acceptance rule and the sampling loop over a
// real clip with a scripted detector. Where the search puts the corners is the screen
// search's tests' and, on whole lectures, the accuracy test's.

#include <algorithm>
#include <array>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "clip_writer.h"
#include "scratch.h"
#include "screen/presentation_localize.h"
#include "video/video_source.h"

using namespace slidetrack;

namespace {

TEST(LocalizeSamples, PositionsSpanTheMiddleHalf) {
  std::vector<int> positions;
  for (int i = 0; i < 10; ++i) positions.push_back(localizeSamplePosition(1000, i, 10));
  EXPECT_EQ(positions, (std::vector<int>{248, 298, 348, 398, 448, 498, 548, 598, 648, 698}));
  // Short clips: never before index i + 1, so no picture is taken twice (0 and 1 are both
  // the first) and no sample falls before the clip.
  EXPECT_EQ(localizeSamplePosition(4, 0, 2), 1);
  EXPECT_EQ(localizeSamplePosition(4, 1, 2), 2);
  std::vector<int> eight;
  for (int i = 0; i < 4; ++i) eight.push_back(localizeSamplePosition(8, i, 4));
  EXPECT_EQ(eight, (std::vector<int>{1, 2, 3, 4}));  // 0, 1, 2, 3 before
  EXPECT_EQ(localizeSamplePosition(1000, 0, 1), 248);
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
  // The zero score, 0.496 after 0.50 and a better but smaller candidate are the loop's.
  EXPECT_TRUE(offer(0.50f, 100.f));
  EXPECT_FALSE(offer(0.495f, 200.f));  // exactly 1 % lower is not enough
  EXPECT_FALSE(offer(0.60f, 100.f));   // same size
  EXPECT_TRUE(offer(0.60f, 101.f));
  const cv::Point2f quad[4] = {{10, 20}, {110, 25}, {100, 85}, {12, 80}};
  EXPECT_FLOAT_EQ(localizeArea(quad), 100.f * 60.f);
}

// A clip of a flat colour, blue 200 in the first channel, made once per name.
std::string flatClip(const std::string& name = "flat.avi", int frames = 40, int fps = 25) {
  static ScratchDir dir;
  const std::string clip = dir / name;
  ClipOptions options;
  options.codec = "mjpeg";
  options.width = 160;
  options.height = 120;
  options.fpsNum = fps;
  if (!fs::exists(clip)) {
    EXPECT_TRUE(writeClip(clip, options, frames,
                          [](int) { return cv::Mat(120, 160, CV_8UC3, cv::Scalar(200, 0, 0)); }));
  }
  return clip;
}

class LocalizeLoop : public ::testing::Test {
 protected:
  // Runs the search on the clip (or, given "", on a source that was never opened); returns
  // the sample positions in order and whether corners were found.
  std::string run(int count, const BoardDetector& detect, const SampleViewer& viewer,
                  const std::string& clip = flatClip()) {
    video_ = videoSourceCreate();
    if (!clip.empty()) {
      EXPECT_NO_THROW(videoSourceOpen(*video_, clip));
    }
    std::string out;
    result_ = presentationLocalizeWith(video_.get(), count, detect, viewer,
                                       [&out](int p) { out += std::to_string(p) + " "; });
    return out + (result_.empty() ? "none" : "found");
  }
  // A detector giving one fixed quadrilateral with the score chosen per call, counted.
  BoardDetector scoring(std::function<float()> score) {
    return [this, score](const cv::Mat&, cv::Point2f corners[4]) {
      const cv::Point2f quad[4] = {{10, 10}, {150, 10}, {150, 110}, {10, 110}};
      std::copy(quad, quad + 4, corners);
      ++detected_;
      return score();
    };
  }

  std::unique_ptr<VideoSource> video_;
  cv::Mat result_;
  int detected_ = 0;
};

TEST_F(LocalizeLoop, EscKeepsTheBestAcceptedSoFar) {
  const std::vector<std::array<cv::Point2f, 4>> script = {
      {{{20, 20}, {100, 20}, {100, 80}, {20, 80}}},
      {{{10.4f, 10.6f}, {140, 12}, {139, 100}, {11, 99}}},
      {{{40, 40}, {80, 40}, {80, 70}, {40, 70}}},
      {{{1, 1}, {159, 1}, {159, 119}, {1, 119}}}};
  const float scores[] = {0.50f, 0.496f, 0.60f, 0.90f};
  int detected = 0, shown = 0;
  auto detect = [&](const cv::Mat& grey, cv::Point2f corners[4]) {
    EXPECT_EQ(grey.type(), CV_8UC1);
    // Conversion code 7 weights the first (blue) channel 0.299: 200 * 0.299 = 60.
    EXPECT_NEAR(grey.at<uchar>(60, 80), 60, 6);
    std::copy(script[detected].begin(), script[detected].end(), corners);
    return scores[detected++];
  };
  auto viewer = [&](const cv::Mat&) { return ++shown == 3 ? 27 : -1; };
  EXPECT_EQ(run(10, detect, viewer), "8 10 12 found");
  EXPECT_EQ(detected, 3);
  ASSERT_EQ(result_.type(), CV_32FC2);
  ASSERT_EQ(result_.total(), 4u);
  for (int k = 0; k < 4; ++k) EXPECT_EQ(result_.at<cv::Point2f>(0, k), script[1][k]);
}

TEST_F(LocalizeLoop, NotFoundWithZeroScoresNoSamplesOrNoVideo) {
  EXPECT_EQ(run(4, scoring([] { return 0.f; }), SampleViewer()), "8 13 18 23 none");
  EXPECT_EQ(detected_, 4);
  EXPECT_TRUE(result_.empty());
  // Would be found, but no sample is taken.
  EXPECT_EQ(run(0, scoring([] { return 0.8f; }), SampleViewer()), "none");
  EXPECT_NE(run(5, scoring([] { return 0.8f; }), SampleViewer(), "").find("none"),
            std::string::npos);
  EXPECT_TRUE(result_.empty());
  EXPECT_EQ(detected_, 4);
}

// A count far above the frames (2147483647 is a valid setting) visits each frame
// of the middle half once instead of searching it again without end.
TEST_F(LocalizeLoop, CountAboveTheFramesSamplesEachFrameOfTheMiddleHalfOnce) {
  EXPECT_EQ(run(2147483647, scoring([&] { return detected_ == 3 ? 0.5f : 0.f; }), SampleViewer()),
            "8 9 10 11 12 13 14 15 16 17 18 19 20 21 22 23 24 25 26 27 found");
  EXPECT_EQ(detected_, 20);
  EXPECT_EQ(result_.total(), 4u);
}

// A clip of three pictures at one per second has no middle half to speak of: its first
// picture is still searched, once.
TEST_F(LocalizeLoop, AClipTooShortForAMiddleHalfSearchesItsFirstPicture) {
  EXPECT_EQ(run(10, scoring([] { return 0.5f; }), SampleViewer(), flatClip("short.avi", 3, 1)),
            "1 found");
  EXPECT_EQ(detected_, 1);
}

}  // namespace
