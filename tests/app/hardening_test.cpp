// What a careless or hostile user can give the program: outputs that are inputs, devices
// or unwritable, settings it must refuse untouched, paths the results file cannot hold, and
// inputs that would hang the run.

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

#include <chrono>
#include <thread>

#include <gtest/gtest.h>

#include "lecture_scene.h"
#include "run_harness.h"

namespace {

const std::vector<cv::Point2f>& kCorners = kTalkCorners;
// A run that hangs is killed, so that it fails instead of stalling the suite.
const std::string kBounded = std::string("timeout 60 ") + kHeadless;

class Hardening : public RunTest {
 protected:
  void SetUp() override { ASSERT_NO_FATAL_FAILURE(writeTwoSlideTalk(dir_ / "talk.mp4")); }
  RunResult run(std::vector<std::string> args, const std::string& prefix = kBounded) {
    args.insert(args.begin(), {"-i", "talk.mp4", "-hide"});
    return runSlidetrack(dir_, args, prefix);
  }
  static std::string configWith(const std::string& slideDetection) {
    return "<?xml version=\"1.0\"?>\n<opencv_storage>\n<!-- the lecture hall camera -->\n"
           "<Presentation><presentDetCount>2</presentDetCount></Presentation>\n"
           "<SlideDetection>" +
           slideDetection + "</SlideDetection>\n</opencv_storage>\n";
  }
};

TEST_F(Hardening, OutputsThatAreInputsOrPicturesAreRefusedBeforeAnyWork) {
  writeConfig(dir_ / "cfg.xml", kCorners, 50);
  const std::vector<std::vector<std::string>> clashes = {
      {"-o", "new.xml", "-c", "new.xml"},
      {"-o", "new.xml", "-c", "./sub/../new.xml"},
      {"-c", "cfg.xml", "-o", "pics/slide_00000100.jpg", "-p", "pics/"},
      {"-c", "pics/talk_slide_00000050.jpg", "-p", "pics/talk_"}};
  for (const auto& args : clashes) {
    RunResult r = run(args);
    EXPECT_EQ(r.status, 1) << args[1] << "\n" << r.err;
    EXPECT_EQ(countOf(r.err, "\n"), 1u) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_FALSE(fs::exists(dir_ / "new.xml"));
    EXPECT_FALSE(fs::exists(dir_ / "pics"));
  }
}

// A device, a pipe or the console's own stream takes the results, and stays what it was.
TEST_F(Hardening, ResultsToStreamsAreWrittenNotReplaced) {
  writeConfig(dir_ / "cfg.xml", kCorners, 50);
  // What /dev/stdout is, made here so that a faulty build can only spoil its own copy.
  fs::create_symlink("/proc/self/fd/1", dir_ / "stdout");
  RunResult r = run({"-c", "cfg.xml", "-o", "stdout"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_LT(r.out.find("Start process frames"), r.out.find("<?xml")) << r.out;
  EXPECT_EQ(countOf(r.out, "<?xml"), 1u) << "one document, at the end";
  EXPECT_TRUE(fs::is_symlink(dir_ / "stdout"));

  ASSERT_EQ(mkfifo((dir_ / "out.fifo").c_str(), 0600), 0);
  const std::string reading = "sh -c 'cat out.fifo > got.xml & exec \"$0\" \"$@\"' " + kBounded;
  r = run({"-c", "cfg.xml", "-o", "out.fifo"}, reading);
  ASSERT_EQ(r.status, 0) << r.err;
  std::string got;
  for (int i = 0; i < 500 && got.find("</data>") == std::string::npos; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    got = readFile(dir_ / "got.xml");
  }
  EXPECT_NE(got.find("<slide id=\"0\" start=\"0\""), std::string::npos) << got;
  EXPECT_TRUE(fs::is_fifo(dir_ / "out.fifo"));
}

// Refused settings end the run before the search, with the key named, and the user's file
// (with its comment) stays as it was; a read-only file is used and not rewritten.
TEST_F(Hardening, RefusedOrReadOnlyConfigurationIsLeftAsItWas) {
  for (const char* step :
       {"<slideFrameStep>0</slideFrameStep>", "<slideFrameStep>twenty</slideFrameStep>"}) {
    const std::string config = configWith(step);
    std::ofstream(dir_ / "cfg.xml") << config;
    RunResult r = run({"-c", "cfg.xml"});
    EXPECT_EQ(r.status, 1) << step;
    EXPECT_NE(r.err.find("Invalid settings in 'cfg.xml': slideFrameStep"), std::string::npos)
        << r.err;
    EXPECT_EQ(r.out, "") << "no search";
    EXPECT_EQ(readFile(dir_ / "cfg.xml"), config);
  }
  const std::string config = configWith("<slideFrameStep>50</slideFrameStep>");
  std::ofstream(dir_ / "cfg.xml") << config;
  ASSERT_EQ(chmod((dir_ / "cfg.xml").c_str(), 0444), 0);
  RunResult r = run({"-c", "cfg.xml"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("Start presentation detection."), std::string::npos);
  EXPECT_NE(r.err.find("'cfg.xml' is read-only; it is not rewritten"), std::string::npos) << r.err;
  EXPECT_EQ(readFile(dir_ / "cfg.xml"), config);

  // A pipe as the configuration would block the run in its first read.
  ASSERT_EQ(mkfifo((dir_ / "cfg.fifo").c_str(), 0600), 0);
  r = run({"-c", "cfg.fifo"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("'cfg.fifo': it is not a regular file"), std::string::npos) << r.err;
}

// Outputs that cannot be written show before the first frame; a picture that fails later
// is warned about and the run ends with status 1 after saving the results.
TEST_F(Hardening, UnwritableOutputsAreFoundAtTheStart) {
  writeConfig(dir_ / "cfg.xml", kCorners, 25);
  std::ofstream(dir_ / "afile") << "x";
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"-o", "afile/res.xml"}, "Cannot save the results file 'afile/res.xml': Not a directory"},
      {{"-p", "afile/pics/"}, "Cannot create the images path 'afile/pics/': Not a directory"}};
  for (const auto& [args, message] : cases) {
    std::vector<std::string> all = args;
    all.insert(all.end(), {"-c", "cfg.xml"});
    RunResult r = run(all);
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
    EXPECT_EQ(r.out.find("Frame["), std::string::npos) << r.out;
  }
  for (int t = 25; t <= 125; t += 25) {
    char name[32];
    std::snprintf(name, sizeof name, "slide_%08d.jpg", t);
    fs::create_directories(dir_ / "pics" / name);
  }
  RunResult r = run({"-c", "cfg.xml", "-p", "pics/", "-o", "res.xml"});
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_NE(r.err.find("Warning: Cannot save the slide picture 'pics/slide_00000"),
            std::string::npos)
      << r.err;
  EXPECT_NE(readFile(dir_ / "res.xml").find("end=\"125\""), std::string::npos);
}

// A colon is an ordinary character; a path the results file cannot hold is refused; a
// temporary left by a killed run goes with the next write.
TEST_F(Hardening, PathsAreTakenAsTheyAreAndWrittenWellFormed) {
  writeConfig(dir_ / "cfg.xml", kCorners, 50);
  std::ofstream(dir_ / "talk.mp4.xml.tmpq1w2e3") << "<?xml version=\"1.0\"?><data><sli";
  RunResult r = run({"-c", "cfg.xml", "-p", "a:b/"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(fs::is_regular_file(dir_ / "a:b" / "slide_00000000.jpg"));
  EXPECT_FALSE(fs::exists(dir_ / "talk.mp4.xml.tmpq1w2e3"));

  fs::create_symlink("talk.mp4", dir_ / "odd\x01name.mp4");
  r = runSlidetrack(dir_, {"-i", "odd\x01name.mp4", "-c", "cfg.xml", "-hide"}, kBounded);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("input video path holds a control character"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(dir_ / "odd\x01name.mp4.xml"));
}

// Inputs that would block or spoil the run: a fed pipe cannot be searched twice, a display
// that never answers, corners that cannot be a screen.
TEST_F(Hardening, PipesSilentDisplaysAndImpossibleCornersDoNotStopTheRun) {
  writeConfig(dir_ / "cfg.xml", {}, 50, /*presentDetCount=*/2);
  ASSERT_EQ(mkfifo((dir_ / "in.fifo").c_str(), 0600), 0);
  const std::string feeding = "sh -c 'cat talk.mp4 > in.fifo & exec \"$0\" \"$@\"' " + kBounded;
  RunResult r =
      runSlidetrack(dir_, {"-i", "in.fifo", "-c", "cfg.xml", "-o", "fifo.xml", "-hide"}, feeding);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("cannot be searched for the screen"), std::string::npos) << r.err;
  EXPECT_NE(r.out.find("Frame[     100:"), std::string::npos) << r.out;

  // Accepts connections, never speaks X11.
  const int server = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string socketPath = (dir_ / "x11").string();
  ASSERT_LT(socketPath.size(), sizeof address.sun_path);
  std::copy(socketPath.begin(), socketPath.end(), address.sun_path);
  ASSERT_EQ(bind(server, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(listen(server, 8), 0);
  r = runSlidetrack(dir_, {"-i", "talk.mp4", "-c", "cfg.xml", "-o", "shown.xml", "-show"},
                    "timeout 60 env -u WAYLAND_DISPLAY DISPLAY=" + socketPath + ":0");
  close(server);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(fs::exists(dir_ / "shown.xml"));

  writeConfig(dir_ / "cfg.xml", {{100, 100}, {100, 100}, {100, 100}, {100, 100}}, 50, 0);
  r = run({"-c", "cfg.xml"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("cannot outline a screen"), std::string::npos) << r.err;
  EXPECT_NE(r.out.find("the whole frame is taken as the screen"), std::string::npos) << r.out;
}

}  // namespace
