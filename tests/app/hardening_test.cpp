// What a careless or hostile user can give a run that goes ahead: outputs that are streams,
// a read-only configuration, a picture that cannot be written, a pipe as the input. What
// must end a run before any work is the refusals test's.

#include <sys/stat.h>

#include <chrono>
#include <thread>

#include <gtest/gtest.h>

#include "run_harness.h"

namespace {

class Hardening : public TalkRunTest {
 protected:
  void SetUp() override {
    TalkRunTest::SetUp();
    writeConfig(dir_ / "cfg.xml", kTalkCorners, 50);
  }
};

// A device, a pipe or the console's own stream takes the results, and stays what it was.
TEST_F(Hardening, ResultsToStreamsAreWrittenNotReplaced) {
  // What /dev/stdout is, made here so that a faulty build can only spoil its own copy.
  fs::create_symlink("/proc/self/fd/1", dir_ / "stdout");
  RunResult r = run({"-c", "cfg.xml", "-o", "stdout"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_LT(r.out.find("Start process frames"), r.out.find("<?xml")) << r.out;
  EXPECT_EQ(countOf(r.out, "<?xml"), 1u) << "one document, at the end";
  EXPECT_TRUE(fs::is_symlink(dir_ / "stdout"));

  // Opened once: a reader would see the end of the file at a first close.
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

// A read-only configuration is used as it is and not rewritten.
TEST_F(Hardening, ReadOnlyConfigurationIsUsedAndLeftAsItWas) {
  const std::string config =
      "<?xml version=\"1.0\"?>\n<opencv_storage>\n<!-- the lecture hall camera -->\n"
      "<Presentation><presentDetCount>2</presentDetCount></Presentation>\n"
      "<SlideDetection><slideFrameStep>50</slideFrameStep></SlideDetection>\n</opencv_storage>\n";
  writeFile(dir_ / "ro.xml", config);
  ASSERT_EQ(chmod((dir_ / "ro.xml").c_str(), 0444), 0);
  RunResult r = run({"-c", "ro.xml"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("Start presentation detection."), std::string::npos);
  EXPECT_NE(r.err.find("'ro.xml' is read-only; it is not rewritten"), std::string::npos) << r.err;
  EXPECT_EQ(readFile(dir_ / "ro.xml"), config);
}

// A picture that fails once the run is under way is warned about, and the run ends with
// status 1 after saving the results.
TEST_F(Hardening, APictureThatCannotBeWrittenEndsTheRunWithOneAfterTheResults) {
  writeConfig(dir_ / "cfg.xml", kTalkCorners, 25);
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

// A fed pipe cannot be read twice, so it is not searched for the screen.
TEST_F(Hardening, APipeAsTheInputIsWalkedWithoutTheSearch) {
  writeConfig(dir_ / "cfg.xml", {}, 50, /*presentDetCount=*/2);
  ASSERT_EQ(mkfifo((dir_ / "in.fifo").c_str(), 0600), 0);
  const std::string feeding = "sh -c 'cat talk.mp4 > in.fifo & exec \"$0\" \"$@\"' " + kBounded;
  RunResult r =
      runSlidetrack(dir_, {"-i", "in.fifo", "-c", "cfg.xml", "-o", "fifo.xml", "-hide"}, feeding);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("cannot be searched for the screen"), std::string::npos) << r.err;
  EXPECT_NE(r.out.find("Frame[     100:"), std::string::npos) << r.out;
}

}  // namespace
