// A first run searches the screen and stores its corners; a second run uses them.

#include <gtest/gtest.h>

#include "lecture_scene.h"
#include "run_harness.h"

namespace {

constexpr double kScreenFrameWidth = 6.0;  // the generator's dark frame around the screen

TEST(RunLocalize, FirstRunStoresTheCornersSecondRunSkipsTheSearch) {
  const fs::path dir = freshDir("localize");
  LectureScene scene;
  scene.screenCorners = {{{327, 164}, {953, 124}, {928, 576}, {352, 576}}};
  scene.occluder = true;
  scene.noiseSigma = 3;
  scene.schedule = {{0, 40}, {1, 40}};
  ASSERT_NO_FATAL_FAILURE(writeSceneClip(scene, dir / "talk.mp4"));

  RunResult first = runSlidetrack(dir, {"-i", "talk.mp4", "-hide"});
  ASSERT_EQ(first.status, 0) << first.err;
  EXPECT_NE(first.out.find("Start presentation detection.\n"), std::string::npos);
  EXPECT_NE(first.out.find("Seek the video position: 18\n"), std::string::npos) << first.out;
  EXPECT_NE(first.out.find("Presentation screen was localized.\n"), std::string::npos);
  EXPECT_EQ(first.out.find("whole frame"), std::string::npos);
  const std::string config = readFile(dir / "talk.mp4.cfg.xml");

  cv::FileStorage fs((dir / "talk.mp4.cfg.xml").string(), cv::FileStorage::READ);
  cv::Mat corners;
  fs["Presentation"]["boardPoints"] >> corners;
  ASSERT_EQ(corners.total(), 4u);
  // Each side lies on the projected area or on the outer edge of the screen frame.
  for (int k = 0; k < 4; ++k)
    EXPECT_LE(cv::norm(corners.at<cv::Point2f>(k) - scene.screenCorners[k]),
              kScreenFrameWidth * std::sqrt(2.0) + 4)
        << "corner " << k;

  RunResult second = runSlidetrack(dir, {"-i", "talk.mp4", "-hide"});
  ASSERT_EQ(second.status, 0) << second.err;
  EXPECT_EQ(second.out.find("Start presentation detection."), std::string::npos);
  EXPECT_EQ(readFile(dir / "talk.mp4.cfg.xml"), config);
  fs::remove_all(dir);
}

}  // namespace
