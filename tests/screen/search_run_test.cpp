// The screen search as a first run of the program sees it: encoded clips of a room without
// a screen, a shaking camera on a projected slide, and a screen recording; what it prints,
// what corners it stores in the configuration, and a second run that uses them.

#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "clip_writer.h"
#include "room_frames.h"
#include "scratch.h"

namespace {

class SearchRun : public ::testing::Test {
 protected:
  // Encodes 100 frames at 25 fps; the picture changes every 10 frames.
  void encode(const std::function<cv::Mat(int)>& greyAt, cv::Size size) {
    ClipOptions options;
    options.width = size.width;
    options.height = size.height;
    std::string error;
    ASSERT_TRUE(writeClip(
        dir_ / "clip.mp4", options, 100,
        [&](int f) {
          cv::Mat bgr;
          cv::cvtColor(greyAt(f / 10), bgr, cv::COLOR_GRAY2BGR);
          return bgr;
        },
        &error))
        << error;
  }

  // A run without windows; its standard output.
  std::string run() {
    const std::string command = "cd '" + dir_.path.string() +
                                "' && '" SLIDETRACK_BIN
                                "' -i clip.mp4 -hide >run.out 2>run.err </dev/null";
    const int status = std::system(command.c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << readFile(dir_ / "run.err");
    return readFile(dir_ / "run.out");
  }

  cv::Mat storedCorners() const {
    cv::Mat corners;
    cv::FileStorage fs(dir_ / "clip.mp4.cfg.xml", cv::FileStorage::READ);
    if (fs.isOpened()) fs["Presentation"]["boardPoints"] >> corners;
    return corners;
  }

  ScratchDir dir_;
};

// A desk, a door, a blackboard or a street's windows are no screen: the whole frame is
// taken and nothing is stored for the next run. In the hall the camera shakes by up to a
// pixel and a half: every edge of the room moves between the samples, but only the slides
// change. A screen recording is recognised as one and needs no corners.
TEST_F(SearchRun, OnlyTheProjectedImagesCornersAreStored) {
  const std::string notFound = "Presentation screen was NOT localized.\n";
  const std::string recording = "The video is a screen recording: the whole frame is the slide.\n";
  RoomView view;
  view.frame = {640, 360};
  view.slide = {{{170, 60}, {470, 70}, {462, 280}, {176, 287}}};
  for (const int kind : {0, 1, 2, 3}) {
    SCOPED_TRACE(kind);
    view.room = kind == 0 ? Room::Blackboard : kind == 1 ? Room::Street : Room::Hall;
    view.shake = kind == 2 ? 1.5f : 1.f;
    const cv::Mat still = drawRoom(view);
    ASSERT_NO_FATAL_FAILURE(encode(
        [&](int i) {
          if (kind < 3) return drawSample(view, still, i);
          cv::Mat grey;
          cv::cvtColor(drawSlide(i, view.frame), grey, cv::COLOR_BGR2GRAY);
          return grey;
        },
        view.frame));
    fs::remove(dir_ / "clip.mp4.cfg.xml");
    const std::string out = run();
    EXPECT_EQ(out.find(recording) != std::string::npos, kind == 3) << out;
    const cv::Mat corners = storedCorners();
    if (kind != 2) {
      EXPECT_NE(out.find(notFound), std::string::npos) << out;
      EXPECT_TRUE(corners.empty());
      continue;
    }
    EXPECT_NE(out.find("Presentation screen was localized.\n"), std::string::npos) << out;
    ASSERT_EQ(corners.total(), 4u);
    for (int k = 0; k < 4; ++k)
      EXPECT_LE(cv::norm(corners.at<cv::Point2f>(k) - view.slide[size_t(k)]), 3.0)
          << "corner " << k << " at " << corners.at<cv::Point2f>(k);
    // A second run skips the search and leaves the file as it is; the frames the first run's
    // search decoded for it give the same slides as decoding them anew.
    const std::string config = readFile(dir_ / "clip.mp4.cfg.xml");
    const std::string results = readFile(dir_ / "clip.mp4.xml");
    const std::string second = run(), frames = "\nStart process frames\n";
    EXPECT_EQ(second.find("Start presentation detection."), std::string::npos);
    EXPECT_EQ(readFile(dir_ / "clip.mp4.cfg.xml"), config);
    ASSERT_NE(out.find(frames), std::string::npos);
    EXPECT_EQ(out.substr(out.find(frames)), second.substr(second.find(frames)));
    EXPECT_EQ(readFile(dir_ / "clip.mp4.xml"), results);
  }
}

}  // namespace
