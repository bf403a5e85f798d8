// Matching a whole run to the original slides given with "-s".

#include <gtest/gtest.h>

#include <opencv2/imgcodecs.hpp>

#include "lecture_scene.h"
#include "results_xml.h"
#include "run_harness.h"

namespace {

constexpr int kStep = 25;
constexpr int kSlides = 12;
constexpr int kIdBase = 100;  // ids differ from indices so a mix-up shows

LectureScene lecture() {
  LectureScene scene;
  scene.frameSize = {960, 540};
  scene.screenCorners = {{{230, 70}, {745, 90}, {730, 470}, {245, 455}}};
  for (int k = 0; k < kSlides; ++k) scene.schedule.push_back({k, 55});
  scene.schedule.push_back({3, 60});  // revisited
  scene.occluder = true;
  scene.noiseSigma = 3.0;
  return scene;
}

class RunMatching : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new fs::path(freshDir("matching"));
    ASSERT_NO_FATAL_FAILURE(writeSceneClip(lecture(), *dir_ / "talk.mp4"));
    // Originals, with an unreadable one first: the others keep their indices.
    auto originals = slideListCreate(nullptr, nullptr);
    originals->slides.push_back(slideRecordMake(99, "missing.png", 0, 0, 0.0));
    for (int k = 0; k < kSlides; ++k) {
      const std::string png = "original_" + std::to_string(k) + ".png";
      cv::imwrite((*dir_ / png).string(), drawSlide(k, {1024, 768}));
      originals->slides.push_back(slideRecordMake(kIdBase + k, png.c_str(), 0, 0, 0.0));
    }
    ASSERT_EQ(slidesSaveToXmlNode(originals.get(), (*dir_ / "originals.xml").string()), 1);
    const LectureScene scene = lecture();
    writeConfig(*dir_ / "talk.mp4.cfg.xml",
                {scene.screenCorners.begin(), scene.screenCorners.end()});
  }
  static void TearDownTestSuite() {
    fs::remove_all(*dir_);
    delete dir_;
  }
  static fs::path* dir_;
};
fs::path* RunMatching::dir_ = nullptr;

TEST_F(RunMatching, EveryIntervalIsMatchedToTheSlideTrulyShown) {
  RunResult r = runSlidetrack(*dir_, {"-i", "talk.mp4", "-s", "originals.xml", "-hide"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(r.err.empty()) << r.err;
  EXPECT_NE(r.out.find("+SlideMatch["), std::string::npos);

  std::unique_ptr<SlideList> list = slidesLoadFromXml(nullptr, (*dir_ / "talk.mp4.xml").c_str());
  ASSERT_TRUE(list);
  ASSERT_TRUE(list->originalsSrc);
  EXPECT_EQ(*list->originalsSrc, "originals.xml");
  const LectureScene scene = lecture();
  std::vector<int> shown;  // slides of the intervals, in order
  for (const SlideRecord& rec : list->slides) {
    ASSERT_TRUE(rec.match) << "record " << rec.id << " has no match";
    const int slide = rec.match->id - kIdBase;
    EXPECT_LT(rec.confidence, 0.5) << rec.id;
    ASSERT_TRUE(rec.match->src);
    EXPECT_EQ(*rec.match->src, "original_" + std::to_string(slide) + ".png");
    for (int t = rec.start; t <= rec.end; t += kStep) {
      if (t % kStep) continue;
      EXPECT_EQ(scene.slideAt(t == 0 ? 0 : t - 1), slide) << "frame " << t;
    }
    if (shown.empty() || shown.back() != slide) shown.push_back(slide);
  }
  std::vector<int> truth;
  for (const SlideShowing& s : scene.schedule) truth.push_back(s.slide);
  EXPECT_EQ(shown, truth);
}

TEST_F(RunMatching, UnreadableOriginalsFileWarnsAndRunsWithoutMatching) {
  std::ofstream(*dir_ / "empty.xml") << "<data><sources/><slides/></data>";
  for (const char* file : {"nothere.xml", "empty.xml"}) {
    RunResult r = runSlidetrack(*dir_, {"-i", "talk.mp4", "-s", file, "-o", "plain.xml", "-hide"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find(file), std::string::npos) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_EQ(r.out.find("SlideMatch"), std::string::npos);
    const std::string xml = readFile(*dir_ / "plain.xml");
    EXPECT_EQ(xml.find("match_id"), std::string::npos);
    EXPECT_EQ(xml.find("<originals"), std::string::npos);
  }
}

}  // namespace
