// Whole runs on generated lectures: slide intervals, their pictures and their matches to
// the original slides given with "-s".

#include <gtest/gtest.h>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "app/settings.h"
#include "lecture_scene.h"
#include "results/results_xml.h"
#include "run_harness.h"

using namespace slidetrack;

namespace {

constexpr int kStep = 25;

// A camera view with the speaker walking in front of the screen, and sensor noise.
class RunLecture : public RunTest {
 protected:
  void SetUp() override {
    scene_.frameSize = {960, 540};
    scene_.screenCorners = {{{230, 70}, {745, 90}, {730, 470}, {245, 455}}};
    scene_.occluder = true;
    scene_.noiseSigma = 3.0;
  }
  void writeLecture(const std::vector<SlideShowing>& schedule) {
    scene_.schedule = schedule;
    ASSERT_NO_FATAL_FAILURE(writeSceneClip(scene_, dir_ / "talk.mp4"));
    writeConfig(dir_ / "talk.mp4.cfg.xml", cornersOf(scene_));
  }
  std::unique_ptr<SlideList> results() const {
    return slidesLoadFromXml(nullptr, (dir_ / "talk.mp4.xml").c_str());
  }
  LectureScene scene_;
};

// Twelve slides, the fourth shown again; ids differ from indices so that a mix-up shows.
TEST_F(RunLecture, EveryChangeIsFoundEachPictureShowsItsSlideAndIsMatchedToIt) {
  constexpr int kSlides = 12, kIdBase = 100;
  std::vector<SlideShowing> schedule;
  for (int k = 0; k < kSlides; ++k) schedule.push_back({k, 55});
  schedule.push_back({3, 60});
  ASSERT_NO_FATAL_FAILURE(writeLecture(schedule));
  // Originals, with an unreadable one first: the others keep their indices.
  auto originals = slideListCreate(nullptr, nullptr);
  originals->slides.push_back(slideRecordMake(99, "missing.png", 0, 0, 0.0));
  for (int k = 0; k < kSlides; ++k) {
    const std::string png = "original_" + std::to_string(k) + ".png";
    cv::imwrite((dir_ / png).string(), drawSlide(k, {1024, 768}));
    originals->slides.push_back(slideRecordMake(kIdBase + k, png.c_str(), 0, 0, 0.0));
  }
  ASSERT_NO_THROW(slidesSaveToXml(*originals, (dir_ / "originals.xml").string()));

  RunResult r =
      runSlidetrack(dir_, {"-i", "talk.mp4", "-s", "originals.xml", "-p", "out/", "-hide"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err,
            "Warning: the original slide 'missing.png' listed in 'originals.xml' cannot be read "
            "(No such file or directory); it takes no part in the matching.\n");
  // The first processed index that shows each new slide. Index t >= 1 delivers the t-th
  // picture, which is picture t - 1 counted from 0.
  std::vector<int> changes;
  for (size_t i = 0, start = 0; i + 1 < scene_.schedule.size(); ++i) {
    start += scene_.schedule[i].frames;
    changes.push_back((start + kStep) / kStep * kStep);
  }
  std::unique_ptr<SlideList> list = results();
  ASSERT_TRUE(list && list->originalsSrc);
  EXPECT_EQ(*list->originalsSrc, "originals.xml");
  ASSERT_EQ(list->slides.size(), changes.size() + 1) << r.out;
  EXPECT_EQ(countOf(r.out, "!SlideChange["), changes.size()) << "none from the speaker";
  const int lastProcessed = (scene_.frameCount() - 1) / kStep * kStep;
  for (size_t i = 0; i < list->slides.size(); ++i) {
    const SlideRecord& rec = list->slides[i];
    const int slide = scene_.schedule[i].slide;
    EXPECT_EQ(rec.id, static_cast<int>(i));
    EXPECT_EQ(rec.start, i == 0 ? 0 : changes[i - 1]) << "record " << i;
    EXPECT_EQ(rec.end, i + 1 < list->slides.size() ? list->slides[i + 1].start - 1 : lastProcessed);
    ASSERT_TRUE(rec.match && rec.match->src) << "record " << i << " has no match";
    EXPECT_EQ(rec.match->id, kIdBase + slide) << "record " << i;
    EXPECT_EQ(*rec.match->src, "original_" + std::to_string(slide) + ".png");
    // A match is decided only when the evidence sides with it by at least matchMargin.
    EXPECT_LE(rec.confidence, 1.0 - PresentationSettings().matchMargin + 1e-6) << i;
    char name[64];
    std::snprintf(name, sizeof name, "out/slide_%08d.jpg", rec.start);
    ASSERT_TRUE(rec.src);
    EXPECT_EQ(*rec.src, name);

    // The saved picture is the slide itself, without the speaker walking in front of it.
    cv::Mat picture = cv::imread((dir_ / name).string());
    ASSERT_EQ(picture.size(), cv::Size(640, 480)) << name;
    auto distance = [&](int shown) {
      cv::Mat truth;
      cv::resize(drawSlide(shown, scene_.slideSize), truth, picture.size(), 0, 0, cv::INTER_AREA);
      return cv::norm(picture, truth, cv::NORM_L1) / picture.total() / 3;
    };
    EXPECT_LT(distance(slide), 30.0) << name;
    EXPECT_LT(distance(slide), distance(slide + 10) * 0.6) << name;
  }
}

}  // namespace
