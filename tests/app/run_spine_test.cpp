// The binary's command line, exit statuses, configuration rewrite and frame walk.

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>

#include "lecture_scene.h"
#include "run_harness.h"

namespace {

class RunSpine : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new fs::path(freshDir("spine"));
    LectureScene scene;
    scene.frameSize = {640, 360};
    scene.screenCorners = {{{150, 60}, {500, 70}, {490, 310}, {160, 300}}};
    scene.schedule = {{0, 60}, {1, 70}};
    ASSERT_NO_FATAL_FAILURE(writeSceneClip(scene, *dir_ / "talk.mp4"));
  }
  static void TearDownTestSuite() {
    fs::remove_all(*dir_);
    delete dir_;
  }
  static fs::path* dir_;
};
fs::path* RunSpine::dir_ = nullptr;

TEST_F(RunSpine, MissingInputPrintsUsageAndExitsWithTwo) {
  RunResult r = runSlidetrack(*dir_, {"-o", "x.xml"});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out,
            "Prezentation extraction\nprogram -i input_video [-o output.xml] [-c config.xml] "
            "[-p images_path] [-s slidesOriginals]\n\n");
  EXPECT_NE(r.err.find("Input video name is missing."), std::string::npos);
  EXPECT_NE(r.err.find("Main"), std::string::npos);
  EXPECT_NE(r.err.find(".\\main:75"), std::string::npos);
}

TEST_F(RunSpine, VideoThatCannotBeOpenedExitsWithOneNamingThePath) {
  std::ofstream(*dir_ / "notvideo.mp4") << "this is not a video";
  for (const char* name : {"missing.mp4", "notvideo.mp4"}) {
    RunResult r = runSlidetrack(*dir_, {"-i", name, "-hide"});
    EXPECT_EQ(r.status, 1) << name;
    EXPECT_NE(r.err.find(name), std::string::npos) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
  }
}

TEST_F(RunSpine, WalksTheVideoInStepsWithStoredCorners) {
  const fs::path cfg = *dir_ / "corners.cfg.xml";
  writeConfig(cfg, {{150, 60}, {500, 70}, {490, 310}, {160, 300}});
  RunResult r = runSlidetrack(*dir_, {"-i", "talk.mp4", "-c", cfg.string(), "-hide"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.find("Start presentation detection."), std::string::npos);
  EXPECT_NE(r.out.find("0               /0              \nStart process frames\n"),
            std::string::npos)
      << r.out;
  std::vector<int> indices;
  std::regex frameLine(R"(^Frame\[ +(\d+): +(\d+)\] )");
  for (const std::string& line : splitLines(r.out)) {
    std::smatch m;
    if (std::regex_search(line, m, frameLine)) {
      indices.push_back(std::stoi(m[1]));
      EXPECT_EQ(std::stoi(m[2]), 130);
    }
  }
  EXPECT_EQ(indices, (std::vector<int>{0, 25, 50, 75, 100, 125}));
  EXPECT_NE(r.out.find("Frame[       0:     130] "), std::string::npos);

  // The configuration is rewritten in full, in write order, with the corners kept.
  const std::string text = readFile(cfg);
  const char* keys[] = {"presentWidth",    "presentHeight", "boardDetLow",     "boardDetHigh",
                        "presentDetCount", "boardPoints",   "slideFrameStep",  "slideDetWidth",
                        "slideDetHeight",  "slideDiffBuff", "slideDiffThresh", "slideDistrThresh",
                        "locWndOverlap",   "locWndSize",    "gradBinSize",     "localWidth",
                        "localHeight",     "matchLimit"};
  size_t at = 0;
  for (const char* key : keys) {
    const size_t found = std::min(text.find(std::string("<") + key + ">", at),
                                  text.find(std::string("<") + key + " ", at));
    ASSERT_NE(found, std::string::npos) << key << " missing or out of order";
    at = found;
  }
  cv::FileStorage fs(cfg.string(), cv::FileStorage::READ);
  cv::Mat corners;
  fs["Presentation"]["boardPoints"] >> corners;
  ASSERT_EQ(corners.type(), CV_32FC2);
  EXPECT_FLOAT_EQ(corners.at<cv::Vec2f>(2)[0], 490.f);
  EXPECT_FLOAT_EQ(corners.at<cv::Vec2f>(3)[1], 300.f);
}

// The image codecs cost more to load than a short video's frames: a run that writes no
// picture and reads no original must not load them, one that saves pictures must.
TEST_F(RunSpine, ImageCodecsAreLoadedOnlyForPictures) {
  const fs::path cfg = *dir_ / "codecs.cfg.xml";
  writeConfig(cfg, {{150, 60}, {500, 70}, {490, 310}, {160, 300}});
  const std::string traced = "env -u DISPLAY -u WAYLAND_DISPLAY LD_DEBUG=files";
  RunResult plain =
      runSlidetrackWith(*dir_, traced, {"-i", "talk.mp4", "-c", cfg.string(), "-hide"});
  ASSERT_EQ(plain.status, 0) << plain.err;
  ASSERT_NE(plain.err.find("libopencv_core"), std::string::npos) << "no loader trace";
  EXPECT_EQ(plain.err.find("libopencv_imgcodecs"), std::string::npos);

  const fs::path pictures = *dir_ / "codecs_pictures/";
  RunResult saving = runSlidetrackWith(
      *dir_, traced, {"-i", "talk.mp4", "-c", cfg.string(), "-p", pictures.string(), "-hide"});
  ASSERT_EQ(saving.status, 0) << saving.err;
  EXPECT_NE(saving.err.find("libopencv_imgcodecs"), std::string::npos);
  EXPECT_TRUE(fs::exists(pictures / "slide_00000000.jpg"));
}

TEST_F(RunSpine, WithoutCornersTheWholeFrameIsTheScreen) {
  const fs::path cfg = *dir_ / "nocorners.cfg.xml";
  writeConfig(cfg, {}, 50, /*presentDetCount=*/0);
  RunResult r = runSlidetrack(*dir_, {"-i", "talk.mp4", "-c", cfg.string(), "-hide"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("the whole frame is taken as the screen"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Frame[     100:     130] "), std::string::npos);
  EXPECT_EQ(readFile(cfg).find("boardPoints"), std::string::npos);
}

TEST_F(RunSpine, UnusableSettingsEndTheRunWithOne) {
  const fs::path cfg = *dir_ / "badstep.cfg.xml";
  writeConfig(cfg, {{0, 0}, {640, 0}, {640, 360}, {0, 360}}, /*slideFrameStep=*/0);
  RunResult r = runSlidetrack(*dir_, {"-i", "talk.mp4", "-c", cfg.string(), "-hide"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("slideFrameStep"), std::string::npos) << r.err;
  EXPECT_EQ(r.out.find("Frame["), std::string::npos);
}

TEST_F(RunSpine, UnparsableConfigurationIsLeftAsItWas) {
  const fs::path cfg = *dir_ / "broken.cfg.xml";
  const std::string broken = "<?xml version=\"1.0\"?>\n<opencv_storage>\n<Presentation><present";
  std::ofstream(cfg) << broken;
  RunResult r = runSlidetrack(*dir_, {"-i", "talk.mp4", "-c", cfg.string(), "-hide"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("broken.cfg.xml"), std::string::npos) << r.err;
  EXPECT_EQ(readFile(cfg), broken);
}

}  // namespace
