// Screen localisation: sample positions, the acceptance rule, the sampling loop over a real
// clip with a scripted detector, and the search on generated lecture clips.

#include <stdlib.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include "clip_writer.h"
#include "lecture_scene.h"
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

// The scene draws a dark frame this wide around the projected area.
constexpr float kScreenFrameWidth = 6.f;

// The corners of the four side lines, side i (corner i to i + 1) moved outwards by offset[i].
std::array<cv::Point2f, 4> offsetCorners(const std::array<cv::Point2f, 4>& c,
                                         const float offset[4]) {
  const cv::Point2f centre = (c[0] + c[1] + c[2] + c[3]) * 0.25f;
  cv::Point2f p[4], dir[4];
  for (int i = 0; i < 4; ++i) {
    dir[i] = c[(i + 1) % 4] - c[i];
    cv::Point2f n(-dir[i].y, dir[i].x);
    n *= 1.f / static_cast<float>(cv::norm(n));
    p[i] = c[i] + (n.dot(c[i] - centre) < 0 ? -n : n) * offset[i];
  }
  std::array<cv::Point2f, 4> out;
  for (int i = 0; i < 4; ++i) {
    const int j = (i + 3) % 4;
    const float den = dir[j].x * dir[i].y - dir[j].y * dir[i].x;
    const cv::Point2f w = p[i] - p[j];
    out[i] = p[j] + dir[j] * ((w.x * dir[i].y - w.y * dir[i].x) / den);
  }
  return out;
}

struct SceneCase {
  const char* name;
  cv::Size frame;
  std::array<cv::Point2f, 4> corners;
  double noise, shake;
};

LectureScene sceneOf(const SceneCase& c) {
  LectureScene scene;
  scene.frameSize = c.frame;
  scene.screenCorners = c.corners;
  scene.occluder = true;
  scene.noiseSigma = c.noise;
  scene.shakePixels = c.shake;
  scene.schedule = {{0, 4}, {1, 4}};  // 8 frames: samples at 0 and 2
  return scene;
}

class LocalizeLecture : public ::testing::TestWithParam<SceneCase> {
 protected:
  void SetUp() override {
    char name[] = "/tmp/localize_lecture.XXXXXX";
    dir_ = mkdtemp(name);
    clip_ = dir_ + "/lecture.mp4";
    std::string error;
    ASSERT_TRUE(writeLectureClip(sceneOf(GetParam()), clip_, ClipOptions(), &error)) << error;
    video_ = videoSourceCreate();
    ASSERT_EQ(videoSourceOpen(video_.get(), clip_), 1);
  }
  void TearDown() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }

  std::string dir_, clip_;
  std::unique_ptr<VideoSource> video_;
};

// Each side is found on the edge of the projected area or on the outer edge of the frame
// around it, so each corner is near one of the four crossings of those edges.
void expectScreenCorners(const LectureScene& scene, const cv::Mat& found) {
  ASSERT_EQ(found.type(), CV_32FC2);
  ASSERT_EQ(found.total(), 4u);
  for (int k = 0; k < 4; ++k) {
    const cv::Point2f p = found.at<cv::Point2f>(0, k);
    double nearest = 1e9;
    for (int frame : {0, 2})
      for (int outer = 0; outer < 16; ++outer) {
        float offset[4];
        for (int i = 0; i < 4; ++i) offset[i] = (outer >> i & 1) ? kScreenFrameWidth : 0.f;
        nearest =
            std::min(nearest, cv::norm(p - offsetCorners(sceneCornersAt(scene, frame), offset)[k]));
      }
    EXPECT_LE(nearest, 4.0) << "corner " << k << " at " << p;
  }
}

TEST_P(LocalizeLecture, FindsTheScreen) {
  testing::internal::CaptureStdout();
  cv::Mat found = presentationLocalize(video_.get(), 2, 120, 150, SampleViewer());
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("Presentation screen was localized.\n"), std::string::npos) << out;
  EXPECT_FALSE(videoSourceIsOpen(video_.get()));
  expectScreenCorners(sceneOf(GetParam()), found);
}

// The detector's Hough bins are 0.6 degrees wide and clear a wide window around every line,
// so these were chosen among perspectives it can resolve.
const SceneCase kScenes[] = {
    {"Frontal720", {1280, 720}, {{{320, 120}, {960, 120}, {960, 600}, {320, 600}}}, 4, 0},
    {"Keystone720", {1280, 720}, {{{327, 164}, {953, 124}, {928, 576}, {352, 576}}}, 4, 0},
    {"Tilted1080", {1920, 1080}, {{{480, 225}, {1440, 135}, {1440, 900}, {480, 900}}}, 4, 0},
    {"Small1080", {1920, 1080}, {{{513, 231}, {1407, 201}, {1392, 864}, {528, 864}}}, 4, 1},
    {"Wide1080", {1920, 1080}, {{{346.5f, 108}, {1573.5f, 108}, {1536, 972}, {384, 972}}}, 4, 0}};
INSTANTIATE_TEST_SUITE_P(Scenes, LocalizeLecture, ::testing::ValuesIn(kScenes),
                         [](const auto& info) { return std::string(info.param.name); });

// The first load searches and stores the corners; the second reads them and leaves the video
// alone.
TEST_F(LocalizeLoop, SettingsStoreTheCornersOnce) {
  const SceneCase& c = kScenes[0];
  const std::string clip = dir_ + "/lecture.mp4", config = dir_ + "/lecture.mp4.cfg.xml";
  ASSERT_TRUE(writeLectureClip(sceneOf(c), clip, ClipOptions()));
  auto video = videoSourceCreate();
  ASSERT_EQ(videoSourceOpen(video.get(), clip), 1);
  testing::internal::CaptureStdout();
  auto first = presentationSettingsLoad(nullptr, config, video.get(), SampleViewer(), nullptr);
  EXPECT_NE(testing::internal::GetCapturedStdout().find("Start presentation detection.\n"),
            std::string::npos);
  ASSERT_TRUE(first);
  EXPECT_FALSE(videoSourceIsOpen(video.get()));
  ASSERT_EQ(first->perspectiveMatrix.type(), CV_32FC1);

  cv::Mat stored;
  cv::FileStorage(config, cv::FileStorage::READ)["Presentation"]["boardPoints"] >> stored;
  expectScreenCorners(sceneOf(c), stored);
  std::vector<cv::Point2f> corners(stored.begin<cv::Point2f>(), stored.end<cv::Point2f>()), to;
  cv::perspectiveTransform(corners, to, first->perspectiveMatrix);
  EXPECT_NEAR(to[2].x, 640, 0.1);
  EXPECT_NEAR(to[2].y, 480, 0.1);

  std::stringstream before;
  before << std::ifstream(config).rdbuf();
  ASSERT_EQ(videoSourceOpen(video.get(), clip), 1);
  testing::internal::CaptureStdout();
  auto second = presentationSettingsLoad(nullptr, config, video.get(), SampleViewer(), nullptr);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_TRUE(videoSourceIsOpen(video.get()));
  ASSERT_TRUE(second);
  EXPECT_TRUE(cv::norm(second->perspectiveMatrix, first->perspectiveMatrix, cv::NORM_INF) < 1e-6);
  std::stringstream after;
  after << std::ifstream(config).rdbuf();
  EXPECT_EQ(after.str(), before.str());
}

}  // namespace
