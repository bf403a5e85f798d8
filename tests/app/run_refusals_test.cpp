// What ends a run before any work: a missing or unopenable input, unusable settings,
// outputs that are inputs, pictures or unwritable. Each ends with one line naming the file
// and the cause, before the screen search and the first frame, leaving every file as it was.

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "run_harness.h"

namespace {

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

}  // namespace
