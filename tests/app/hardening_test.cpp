// What a careless or hostile user can give a run: what must end it before any work, and what
// a run that goes ahead meets.

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "run_harness.h"

using namespace slidetrack;

namespace {

// What ends a run before any work: a missing or unopenable input, unusable settings,
// outputs that are inputs, pictures or unwritable. Each ends with one line naming the file
// and the cause, before the screen search and the first frame, leaving every file as it was.
struct Refusal {
  std::vector<std::string> args;
  int status;
  std::string cause;
  std::string config = "";  // cfg.xml for this run; the talk's corners when empty
};

TEST_F(TalkRunTest, RefusedRunsLeaveEveryFileAsItWas) {
  writeConfig(dir_ / "cfg.xml", kTalkCorners, 50);
  const std::string usable = readFile(dir_ / "cfg.xml");
  const std::string mine = "<?xml version=\"1.0\"?>\n<opencv_storage>\n<!-- mine -->\n";
  writeFile(dir_ / "notvideo.mp4", "this is not a video");
  const std::string silence = "ffmpeg -nostdin -v error -f lavfi -i anullsrc -t 1 " +
                              shellQuote((dir_ / "silence.wav").string());
  ASSERT_EQ(std::system(silence.c_str()), 0);
  writeFile(dir_ / "afile", "x");
  writeFile(dir_ / "originals.xml", "<data><slides><slide id=\"1\"/></slides></data>");
  fs::create_symlink("talk.mp4", dir_ / "link.mp4");
  fs::create_symlink("talk.mp4", dir_ / "odd\x01name.mp4");
  ASSERT_EQ(mkfifo((dir_ / "cfg.fifo").c_str(), 0600), 0);
  const std::vector<std::string> talk = {"-i", "talk.mp4", "-hide", "-c", "cfg.xml"};
  auto with = [&talk](std::vector<std::string> args) {
    args.insert(args.begin(), talk.begin(), talk.end());
    return args;
  };
  const Refusal refusals[] = {
      {{"-o", "x.xml"}, 2, "Input video name is missing."},
      {{"-i", "missing.mp4"}, 1, "Cannot open video 'missing.mp4': No such file or directory."},
      {{"-i", "notvideo.mp4"}, 1, "Cannot open video 'notvideo.mp4': "},
      {{"-i", "silence.wav"}, 1, "Cannot open video 'silence.wav': it holds no video stream."},
      {{"-i", "odd\x01name.mp4"}, 1, "input video path holds a control character"},
      {{"-i", "talk\xff.mp4"}, 1, "input video path holds bytes that are not UTF-8"},
      // A value of the wrong kind, one out of range, a file that cannot be parsed, a pipe
      // that would block the first read.
      {with({"-o", "absurd.xml", "-p", "pics/"}), 1, "Invalid settings in 'cfg.xml': locWndOverlap",
       mine + "<LocalFeatures><locWndOverlap>\"wide\"</locWndOverlap></LocalFeatures>\n" +
           "</opencv_storage>\n"},
      {with({}), 1, "Invalid settings in 'cfg.xml': slideFrameStep",
       mine + "<SlideDetection><slideFrameStep>0</slideFrameStep></SlideDetection>\n" +
           "</opencv_storage>\n"},
      {with({}), 1, "Cannot read configuration file 'cfg.xml': ", mine + "<Presentation><pre"},
      {{"-i", "talk.mp4", "-c", "cfg.fifo"}, 1, "'cfg.fifo': it is not a regular file"},
      // Results rewritten during the run must not destroy an input.
      {with({"-o", "talk.mp4"}), 1, "The results file 'talk.mp4' is the input video"},
      {with({"-o", "./talk.mp4"}), 1, "The results file './talk.mp4' is the input video"},
      {with({"-o", "link.mp4"}), 1, "The results file 'link.mp4' is the input video"},
      {with({"-o", "cfg.xml"}), 1, "The results file 'cfg.xml' is the configuration file"},
      {with({"-o", "originals.xml", "-s", "originals.xml"}), 1,
       "The results file 'originals.xml' is the original slides file"},
      {{"-i", "talk.mp4", "-o", "new.xml", "-c", "./sub/../new.xml"},
       1,
       "The results file 'new.xml' is the configuration file"},
      {with({"-o", "pics/slide_00000100.jpg", "-p", "pics/"}), 1,
       "The results file 'pics/slide_00000100.jpg' is one of the slide pictures"},
      {{"-i", "talk.mp4", "-c", "pics/talk_slide_00000050.jpg", "-p", "pics/talk_"},
       1,
       "The configuration file 'pics/talk_slide_00000050.jpg' is one of the slide pictures"},
      // Outputs that cannot be written would be lost at the end.
      {with({"-o", "afile/res.xml"}), 1,
       "Cannot save the results file 'afile/res.xml': Not a directory"},
      {with({"-o", "missing/res.xml"}), 1, "Cannot save the results file 'missing/res.xml': "},
      {with({"-p", "afile/pics/"}), 1,
       "Cannot create the images path 'afile/pics/': Not a directory"}};
  for (const Refusal& refusal : refusals) {
    writeFile(dir_ / "cfg.xml", refusal.config.empty() ? usable : refusal.config);
    const auto before = snapshot(dir_);
    const RunResult r = runSlidetrack(dir_, refusal.args, kBounded);
    SCOPED_TRACE(refusal.cause);
    EXPECT_EQ(r.status, refusal.status) << r.err;
    EXPECT_NE(r.err.find(refusal.cause), std::string::npos) << r.err;
    EXPECT_EQ(countOf(r.err, "\n"), 1u) << r.err;
    EXPECT_TRUE(snapshot(dir_) == before);
    // No search, no frame: nothing but the usage when the input is missing.
    if (refusal.status == 2) {
      EXPECT_NE(r.out.find("program -i input_video"), std::string::npos) << r.out;
    } else {
      EXPECT_EQ(r.out, "");
    }
  }
}

// What a run that goes ahead meets: outputs that are streams, a read-only configuration, a
// picture that cannot be written, a pipe as the input.
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
