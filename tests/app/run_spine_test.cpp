// The binary's command line, exit statuses, settings checks and frame walk.

#include <gtest/gtest.h>

#include <regex>

#include "lecture_scene.h"
#include "run_harness.h"

namespace {

const std::vector<cv::Point2f>& kCorners = kTalkCorners;

class RunSpine : public RunTest {
 protected:
  void SetUp() override { ASSERT_NO_FATAL_FAILURE(writeTwoSlideTalk(dir_ / "talk.mp4")); }
  // A headless run on talk.mp4 with the configuration cfg.xml.
  RunResult run(std::vector<std::string> args, const std::string& prefix = kHeadless) {
    args.insert(args.begin(), {"-i", "talk.mp4", "-c", "cfg.xml", "-hide"});
    return runSlidetrack(dir_, args, prefix);
  }
};

TEST_F(RunSpine, MissingInputOrUnopenableVideoEndTheRunWithTwoOrOne) {
  RunResult r = runSlidetrack(dir_, {"-o", "x.xml"});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.out.find("program -i input_video"), std::string::npos) << r.out;
  EXPECT_NE(r.err.find("Input video name is missing."), std::string::npos);

  std::ofstream(dir_ / "notvideo.mp4") << "this is not a video";
  for (const char* name : {"missing.mp4", "notvideo.mp4"}) {
    r = runSlidetrack(dir_, {"-i", name, "-hide"});
    EXPECT_EQ(r.status, 1) << name;
    EXPECT_NE(r.err.find(name), std::string::npos) << r.err;
    EXPECT_EQ(countOf(r.err, "\n"), 1u) << r.err;
  }
}

// OpenCV's image codecs cost more to load than a short video's frames: pictures are
// written with the libraries libavcodec has loaded anyway, so no run loads them.
TEST_F(RunSpine, WalksTheVideoInStepsWithoutLoadingOpenCvsImageCodecs) {
  writeConfig(dir_ / "cfg.xml", kCorners);
  const std::string traced = std::string(kHeadless) + " LD_DEBUG=files";
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

  // Without "-p" no picture is written and no record names one.
  const std::string xml = readFile(dir_ / "talk.mp4.xml");
  EXPECT_NE(xml.find("<slide id=\"0\" start=\"0\""), std::string::npos) << xml;
  EXPECT_EQ(xml.find("src=\"slide_"), std::string::npos);
  for (const auto& entry : fs::recursive_directory_iterator(dir_))
    EXPECT_NE(entry.path().extension(), ".jpg") << entry.path();

  r = run({"-p", "pictures/"}, traced);
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(r.err.find("libopencv_imgcodecs"), std::string::npos);
  EXPECT_TRUE(fs::exists(dir_ / "pictures/slide_00000000.jpg"));
}

TEST_F(RunSpine, WithoutCornersTheWholeFrameIsTheScreen) {
  writeConfig(dir_ / "cfg.xml", {}, 50, /*presentDetCount=*/0);
  RunResult r = run({});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("the whole frame is taken as the screen"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Frame[     100:     130] "), std::string::npos);
  EXPECT_EQ(readFile(dir_ / "cfg.xml").find("boardPoints"), std::string::npos);
}

// Unusable settings end the run before the screen search and before the configuration
// is rewritten; a value of the wrong kind is refused, naming the key. Which
// key each check names is the settings test's.
TEST_F(RunSpine, UnusableOrUnparsableSettingsEndTheRunWithOneBeforeAnyWork) {
  const std::string unusable =
      "<?xml version=\"1.0\"?>\n<opencv_storage><LocalFeatures><locWndOverlap>\"wide\""
      "</locWndOverlap></LocalFeatures></opencv_storage>\n";
  std::ofstream(dir_ / "cfg.xml") << unusable;
  RunResult r = run({"-o", "absurd.xml", "-p", "pics/"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("Invalid settings in 'cfg.xml': locWndOverlap"), std::string::npos) << r.err;
  EXPECT_EQ(countOf(r.err, "\n"), 1u) << r.err;
  EXPECT_EQ(r.out, "") << "no search, no frame";
  EXPECT_EQ(readFile(dir_ / "cfg.xml"), unusable);
  EXPECT_FALSE(fs::exists(dir_ / "absurd.xml"));
  EXPECT_FALSE(fs::exists(dir_ / "pics"));

  // A file that cannot be parsed is named and left as it was.
  const std::string broken = "<?xml version=\"1.0\"?>\n<opencv_storage>\n<Presentation><present";
  std::ofstream(dir_ / "cfg.xml") << broken;
  r = run({});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("cfg.xml"), std::string::npos) << r.err;
  EXPECT_EQ(readFile(dir_ / "cfg.xml"), broken);
}

// Results that cannot be written would be lost: found before the first frame.
TEST_F(RunSpine, ResultsFileThatCannotBeWrittenEndsTheRunWithOne) {
  writeConfig(dir_ / "cfg.xml", kCorners, 50);
  std::ofstream(dir_ / "afile") << "x";
  for (const char* out : {"afile/res.xml", "missing/res.xml"}) {
    RunResult r = run({"-o", out});
    EXPECT_EQ(r.status, 1) << out << "\n" << r.err;
    EXPECT_EQ(r.out.find("Frame["), std::string::npos) << r.out;
    EXPECT_NE(r.err.find(std::string("Cannot save the results file '") + out + "': "),
              std::string::npos)
        << r.err;
  }
  EXPECT_EQ(run({"-o", "written.xml"}).status, 0);
}

// The results file is rewritten during the run: naming an input there must not destroy it.
TEST_F(RunSpine, ResultsFileThatIsAnInputEndsTheRunLeavingTheInputAlone) {
  writeConfig(dir_ / "cfg.xml", kCorners, 50);
  std::ofstream(dir_ / "originals.xml") << "<data><slides><slide id=\"1\"/></slides></data>";
  fs::create_symlink("talk.mp4", dir_ / "link.mp4");
  const std::string video = readFile(dir_ / "talk.mp4"), config = readFile(dir_ / "cfg.xml"),
                    originals = readFile(dir_ / "originals.xml");
  for (const char* out : {"talk.mp4", "./talk.mp4", "link.mp4", "cfg.xml", "originals.xml"}) {
    RunResult r = run({"-o", out, "-s", "originals.xml"});
    EXPECT_EQ(r.status, 1) << out << "\n" << r.err;
    EXPECT_NE(r.err.find(std::string("The results file '") + out + "' is the "), std::string::npos)
        << r.err;
    EXPECT_EQ(countOf(r.err, "\n"), 1u) << r.err;
    EXPECT_EQ(r.out.find("Frame["), std::string::npos) << out;
  }
  EXPECT_EQ(readFile(dir_ / "talk.mp4"), video);
  EXPECT_EQ(readFile(dir_ / "cfg.xml"), config);
  EXPECT_EQ(readFile(dir_ / "originals.xml"), originals);
}

TEST_F(RunSpine, UnreadableOriginalsFileWarnsAndRunsWithoutMatching) {
  writeConfig(dir_ / "cfg.xml", kCorners);
  std::ofstream(dir_ / "empty.xml") << "<data><sources/><slides/></data>";
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

TEST_F(RunDisplay, NamedButUnreachableDisplayRunsHeadless) {
  RunResult r = run("env -u WAYLAND_DISPLAY DISPLAY=:987", "a.xml");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("Frame[      50:      60] "), std::string::npos) << r.out;
  r = run("env -u DISPLAY WAYLAND_DISPLAY=/nonexistent/wayland-0", "a.xml");
  EXPECT_EQ(r.status, 0) << r.err;
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

// A first run searches the screen and stores its corners; a second run uses them.
class RunLocalize : public RunTest {};

TEST_F(RunLocalize, FirstRunStoresTheCornersSecondRunSkipsTheSearch) {
  LectureScene scene;
  scene.screenCorners = {{{327, 164}, {953, 124}, {928, 576}, {352, 576}}};
  scene.occluder = true;
  scene.noiseSigma = 3;
  scene.schedule = {{0, 40}, {1, 40}};
  ASSERT_NO_FATAL_FAILURE(writeSceneClip(scene, dir_ / "talk.mp4"));

  RunResult first = runSlidetrack(dir_, {"-i", "talk.mp4", "-hide"});
  ASSERT_EQ(first.status, 0) << first.err;
  EXPECT_NE(first.out.find("Start presentation detection.\n"), std::string::npos);
  EXPECT_NE(first.out.find("Presentation screen was localized.\n"), std::string::npos);
  const std::string config = readFile(dir_ / "talk.mp4.cfg.xml");
  cv::Mat corners;
  cv::FileStorage((dir_ / "talk.mp4.cfg.xml").string(),
                  cv::FileStorage::READ)["Presentation"]["boardPoints"] >>
      corners;
  ASSERT_EQ(corners.total(), 4u);
  // Each side lies on the projected area or on the outer edge of the 6 px screen frame.
  for (int k = 0; k < 4; ++k)
    EXPECT_LE(cv::norm(corners.at<cv::Point2f>(k) - scene.screenCorners[k]), 6 * std::sqrt(2) + 4)
        << "corner " << k;

  const std::string firstResults = readFile(dir_ / "talk.mp4.xml");
  RunResult second = runSlidetrack(dir_, {"-i", "talk.mp4", "-hide"});
  ASSERT_EQ(second.status, 0) << second.err;
  EXPECT_EQ(second.out.find("Start presentation detection."), std::string::npos);
  EXPECT_EQ(readFile(dir_ / "talk.mp4.cfg.xml"), config);
  // The frames the search decoded for the run give the same slides as decoding them anew.
  const std::string frames = "\nStart process frames\n";
  ASSERT_NE(first.out.find(frames), std::string::npos);
  EXPECT_EQ(first.out.substr(first.out.find(frames)), second.out.substr(second.out.find(frames)));
  EXPECT_EQ(readFile(dir_ / "talk.mp4.xml"), firstResults);
}

}  // namespace
