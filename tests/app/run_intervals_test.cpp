// Slide intervals of a whole run: changes, pictures and the results file.

#include <gtest/gtest.h>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "lecture_scene.h"
#include "results_xml.h"
#include "run_harness.h"

namespace {

constexpr int kStep = 25;

LectureScene lecture() {
  LectureScene scene;
  scene.frameSize = {960, 540};
  scene.screenCorners = {{{230, 70}, {745, 90}, {730, 470}, {245, 455}}};
  scene.schedule = {{0, 80}, {1, 80}, {2, 90}, {3, 70}, {1, 85}};
  scene.occluder = true;
  scene.noiseSigma = 3.0;
  return scene;
}

std::vector<cv::Point2f> corners(const LectureScene& scene) {
  return {scene.screenCorners.begin(), scene.screenCorners.end()};
}

class RunIntervals : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new fs::path(freshDir("intervals"));
    ASSERT_NO_FATAL_FAILURE(writeSceneClip(lecture(), *dir_ / "talk.mp4"));
  }
  static void TearDownTestSuite() {
    fs::remove_all(*dir_);
    delete dir_;
  }
  static fs::path* dir_;
};
fs::path* RunIntervals::dir_ = nullptr;

// The first processed index that shows each new slide. Index t >= 1 delivers the t-th
// picture, which is picture t - 1 counted from 0.
std::vector<int> expectedChanges(const LectureScene& scene) {
  std::vector<int> changes;
  int start = 0;
  for (size_t i = 0; i + 1 < scene.schedule.size(); ++i) {
    start += scene.schedule[i].frames;
    changes.push_back((start + 1 + kStep - 1) / kStep * kStep);
  }
  return changes;
}

TEST_F(RunIntervals, EveryChangeIsFoundAndEachPictureShowsItsSlide) {
  const LectureScene scene = lecture();
  writeConfig(*dir_ / "talk.mp4.cfg.xml", corners(scene));
  RunResult r = runSlidetrack(*dir_, {"-i", "talk.mp4", "-p", "out/", "-hide"});
  ASSERT_EQ(r.status, 0) << r.err;

  std::unique_ptr<SlideList> list = slidesLoadFromXml(nullptr, (*dir_ / "talk.mp4.xml").c_str());
  ASSERT_TRUE(list);
  const std::vector<int> changes = expectedChanges(scene);
  ASSERT_EQ(list->slides.size(), changes.size() + 1) << r.out;
  const int lastProcessed = (scene.frameCount() - 1) / kStep * kStep;
  for (size_t i = 0; i < list->slides.size(); ++i) {
    const SlideRecord& rec = list->slides[i];
    EXPECT_EQ(rec.id, static_cast<int>(i));
    EXPECT_EQ(rec.start, i == 0 ? 0 : changes[i - 1]) << "record " << i;
    EXPECT_EQ(rec.end, i + 1 < list->slides.size() ? list->slides[i + 1].start - 1 : lastProcessed);
    char name[64];
    std::snprintf(name, sizeof name, "out/slide_%08d.jpg", rec.start);
    ASSERT_TRUE(rec.src);
    EXPECT_EQ(*rec.src, name);

    // The saved picture is the slide itself, without the speaker walking in front of it.
    cv::Mat picture = cv::imread((*dir_ / name).string());
    ASSERT_FALSE(picture.empty()) << name;
    ASSERT_EQ(picture.size(), cv::Size(640, 480));
    cv::Mat truth;
    cv::resize(drawSlide(scene.schedule[i].slide, scene.slideSize), truth, picture.size(), 0, 0,
               cv::INTER_AREA);
    cv::Mat other;
    cv::resize(drawSlide(scene.schedule[i].slide + 10, scene.slideSize), other, picture.size(), 0,
               0, cv::INTER_AREA);
    const double own = cv::norm(picture, truth, cv::NORM_L1) / picture.total() / 3;
    const double foreign = cv::norm(picture, other, cv::NORM_L1) / picture.total() / 3;
    EXPECT_LT(own, 30.0) << name;
    EXPECT_LT(own, foreign * 0.6) << name;
  }
  // One change fragment per change, and none from the speaker.
  size_t fragments = 0;
  for (size_t at = r.out.find("!SlideChange["); at != std::string::npos;
       at = r.out.find("!SlideChange[", at + 1))
    ++fragments;
  EXPECT_EQ(fragments, changes.size());
}

TEST_F(RunIntervals, WithoutImagesPathNoPicturesAndNoSrc) {
  const LectureScene scene = lecture();
  const fs::path sub = *dir_ / "nopictures";
  fs::create_directories(sub);
  writeConfig(sub / "cfg.xml", corners(scene));
  RunResult r = runSlidetrack(
      sub, {"-i", (*dir_ / "talk.mp4").string(), "-c", "cfg.xml", "-o", "result.xml", "-hide"});
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string xml = readFile(sub / "result.xml");
  EXPECT_NE(xml.find("<slide id=\"0\" start=\"0\""), std::string::npos) << xml;
  EXPECT_EQ(xml.find("src=\"slide_"), std::string::npos);
  for (const auto& entry : fs::directory_iterator(sub))
    EXPECT_NE(entry.path().extension(), ".jpg") << entry.path();
}

}  // namespace
