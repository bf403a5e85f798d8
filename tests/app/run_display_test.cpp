// Windows when a display answers, and a headless run when none does.

#include <gtest/gtest.h>

#include "lecture_scene.h"
#include "run_harness.h"

namespace {

class RunDisplay : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = freshDir("display");
    LectureScene scene = screenRecordingScene({320, 240});
    scene.schedule = {{0, 30}, {1, 30}};
    ASSERT_NO_FATAL_FAILURE(writeSceneClip(scene, dir_ / "talk.mp4"));
    writeConfig(dir_ / "cfg.xml", {}, 10, /*presentDetCount=*/0);
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path dir_;
};

TEST_F(RunDisplay, NamedButUnreachableDisplayRunsHeadless) {
  RunResult r = runSlidetrackWith(dir_, "env -u WAYLAND_DISPLAY DISPLAY=:987",
                                  {"-i", "talk.mp4", "-c", "cfg.xml"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("Frame[      50:      60] "), std::string::npos) << r.out;
  r = runSlidetrackWith(dir_, "env -u DISPLAY WAYLAND_DISPLAY=/nonexistent/wayland-0",
                        {"-i", "talk.mp4", "-c", "cfg.xml"});
  EXPECT_EQ(r.status, 0) << r.err;
}

TEST_F(RunDisplay, WindowsUnderXvfbGiveTheSameResults) {
  if (std::system("command -v xvfb-run >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "xvfb-run is not installed";
  // The loader's trace tells whether the windows module came in.
  RunResult headless = runSlidetrackWith(dir_, "env LD_DEBUG=files",
                                         {"-i", "talk.mp4", "-c", "cfg.xml", "-o", "a.xml"});
  ASSERT_EQ(headless.status, 0) << headless.err;
  EXPECT_EQ(headless.err.find("slidetrack_windows"), std::string::npos);
  RunResult shown = runSlidetrackWith(dir_, "xvfb-run -a env LD_DEBUG=files",
                                      {"-i", "talk.mp4", "-c", "cfg.xml", "-o", "b.xml", "-show"});
  ASSERT_EQ(shown.status, 0) << shown.err;
  EXPECT_NE(shown.err.find("slidetrack_windows"), std::string::npos);
  EXPECT_EQ(shown.err.find("Error:"), std::string::npos);
  EXPECT_EQ(headless.out, shown.out);
  std::string a = readFile(dir_ / "a.xml"), b = readFile(dir_ / "b.xml");
  EXPECT_EQ(a.substr(a.find("<slides")), b.substr(b.find("<slides")));
}

}  // namespace
