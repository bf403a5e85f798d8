// Whole runs of the binary on short clips: the frame walk, the screen taken when no corners
// serve, originals that cannot be read, and windows. The corners a first run stores are the
// search run's.

#include <sys/socket.h>
#include <sys/un.h>

#include <regex>

#include <gtest/gtest.h>

#include "lecture_scene.h"
#include "run_harness.h"

namespace {

// A headless run on talk.mp4 with the configuration cfg.xml.
class RunSpine : public TalkRunTest {
 protected:
  RunResult run(std::vector<std::string> args, const std::string& prefix = kBounded) {
    args.insert(args.begin(), {"-c", "cfg.xml"});
    return TalkRunTest::run(args, prefix);
  }
};

// OpenCV's image codecs cost more to load than a short video's frames: pictures are
// written with the libraries libavcodec has loaded anyway, so no run loads them. A
// temporary left by a killed run goes with the next write; a colon is an ordinary character.
TEST_F(RunSpine, WalksTheVideoInStepsWithoutLoadingOpenCvsImageCodecs) {
  writeConfig(dir_ / "cfg.xml", kTalkCorners);
  writeFile(dir_ / "talk.mp4.xml.tmpq1w2e3", "<?xml version=\"1.0\"?><data><sli");
  const std::string traced = kBounded + " LD_DEBUG=files";
  RunResult r = run({}, traced);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.find("Start presentation detection."), std::string::npos);
  std::string frames;
  const std::regex frameLine(R"(Frame\[ +(\d+): +130\] )");
  for (std::sregex_iterator m(r.out.begin(), r.out.end(), frameLine), end; m != end; ++m)
    frames += (*m)[1].str() + " ";
  EXPECT_EQ(frames, "0 25 50 75 100 125 ");
  ASSERT_NE(r.err.find("libopencv_core"), std::string::npos) << "no loader trace";
  EXPECT_EQ(r.err.find("libopencv_imgcodecs"), std::string::npos);
  EXPECT_FALSE(fs::exists(dir_ / "talk.mp4.xml.tmpq1w2e3"));

  // Without "-p" no picture is written and no record names one.
  const std::string xml = readFile(dir_ / "talk.mp4.xml");
  EXPECT_NE(xml.find("<slide id=\"0\" start=\"0\""), std::string::npos) << xml;
  EXPECT_EQ(xml.find("src=\"slide_"), std::string::npos);
  for (const auto& entry : fs::recursive_directory_iterator(dir_))
    EXPECT_NE(entry.path().extension(), ".jpg") << entry.path();

  r = run({"-p", "a:b/"}, traced);
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(r.err.find("libopencv_imgcodecs"), std::string::npos);
  EXPECT_TRUE(fs::is_regular_file(dir_ / "a:b/slide_00000000.jpg"));
}

// Without corners, or with corners that cannot outline a screen, the whole frame is the
// screen.
TEST_F(RunSpine, WithoutUsableCornersTheWholeFrameIsTheScreen) {
  for (const auto& corners :
       {std::vector<cv::Point2f>(), std::vector<cv::Point2f>(4, {100, 100})}) {
    writeConfig(dir_ / "cfg.xml", corners, 50, /*presentDetCount=*/0);
    RunResult r = run({});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("the whole frame is taken as the screen"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Frame[     100:     130] "), std::string::npos);
    EXPECT_EQ(r.err.find("cannot outline a screen") == std::string::npos, corners.empty()) << r.err;
    if (corners.empty()) {
      EXPECT_EQ(readFile(dir_ / "cfg.xml").find("boardPoints"), std::string::npos);
    }
  }
}

TEST_F(RunSpine, UnreadableOriginalsFileWarnsAndRunsWithoutMatching) {
  writeConfig(dir_ / "cfg.xml", kTalkCorners);
  writeFile(dir_ / "empty.xml", "<data><sources/><slides/></data>");
  for (const char* file : {"nothere.xml", "empty.xml"}) {
    RunResult r = run({"-s", file, "-o", "plain.xml"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find(file), std::string::npos) << r.err;
    EXPECT_EQ(countOf(r.err, "\n"), 1u) << r.err;
    EXPECT_EQ(r.out.find("SlideMatch"), std::string::npos);
    const std::string xml = readFile(dir_ / "plain.xml");
    EXPECT_EQ(xml.find("match_id"), std::string::npos);
    EXPECT_EQ(xml.find("<originals"), std::string::npos);
  }
}

// Windows when a display answers, and a headless run when none does.
class RunDisplay : public RunTest {
 protected:
  void SetUp() override {
    LectureScene scene = screenRecordingScene({320, 240});
    scene.schedule = {{0, 30}, {1, 30}};
    ASSERT_NO_FATAL_FAILURE(writeSceneClip(scene, dir_ / "talk.mp4"));
    writeConfig(dir_ / "cfg.xml", {}, 10, /*presentDetCount=*/0);
  }
  RunResult run(const std::string& prefix, const char* xml) {
    return runSlidetrack(dir_, {"-i", "talk.mp4", "-c", "cfg.xml", "-o", xml, "-show"}, prefix);
  }
};

// Named displays that are not there, and one that accepts connections but never speaks X11.
TEST_F(RunDisplay, UnreachableOrSilentDisplayRunsHeadless) {
  const int server = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string socketPath = (dir_ / "x11").string();
  ASSERT_LT(socketPath.size(), sizeof address.sun_path);
  std::copy(socketPath.begin(), socketPath.end(), address.sun_path);
  ASSERT_EQ(bind(server, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(listen(server, 8), 0);
  for (const std::string& display : std::vector<std::string>{
           "-u WAYLAND_DISPLAY DISPLAY=:987", "-u DISPLAY WAYLAND_DISPLAY=/nonexistent/wayland-0",
           "-u WAYLAND_DISPLAY DISPLAY=" + socketPath + ":0"}) {
    RunResult r = run("timeout 60 env " + display, "a.xml");
    EXPECT_EQ(r.status, 0) << display << "\n" << r.err;
    EXPECT_NE(r.out.find("Frame[      50:      60] "), std::string::npos) << r.out;
  }
  close(server);
}

TEST_F(RunDisplay, WindowsUnderXvfbGiveTheSameResults) {
  if (std::system("command -v xvfb-run >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "xvfb-run is not installed";
  // The loader's trace tells whether the windows module came in.
  RunResult headless = run(std::string(kHeadless) + " LD_DEBUG=files", "a.xml"),
            shown = run("xvfb-run -a env LD_DEBUG=files", "b.xml");
  ASSERT_EQ(headless.status, 0) << headless.err;
  ASSERT_EQ(shown.status, 0) << shown.err;
  EXPECT_EQ(headless.err.find("slidetrack_windows"), std::string::npos);
  EXPECT_NE(shown.err.find("slidetrack_windows"), std::string::npos);
  EXPECT_EQ(shown.err.find("Error:"), std::string::npos);
  EXPECT_EQ(headless.out, shown.out);
  std::string a = readFile(dir_ / "a.xml"), b = readFile(dir_ / "b.xml");
  EXPECT_EQ(a.substr(a.find("<slides")), b.substr(b.find("<slides")));
}

}  // namespace
