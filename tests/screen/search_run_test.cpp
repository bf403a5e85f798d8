// The screen search as a first run of the program sees it: encoded clips of a room without
// a screen, a shaking camera on a projected slide, and a screen recording; what it prints
// and what corners it stores in the configuration.

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "clip_writer.h"
#include "room_frames.h"

namespace fs = std::filesystem;

namespace {

class SearchRun : public ::testing::Test {
 protected:
  void TearDown() override {
    if (!HasFailure()) fs::remove_all(dir_);
  }

  // Encodes 100 frames at 25 fps; the picture changes every 10 frames.
  void encode(const std::function<cv::Mat(int)>& greyAt, cv::Size size) {
    ClipOptions options;
    options.width = size.width;
    options.height = size.height;
    std::string error;
    ASSERT_TRUE(writeClip(
        clip_, options, 100,
        [&](int f) {
          cv::Mat bgr;
          cv::cvtColor(greyAt(f / 10), bgr, cv::COLOR_GRAY2BGR);
          return bgr;
        },
        &error))
        << error;
  }

  // A first run without windows; its standard output.
  std::string firstRun() {
    const std::string command = "cd '" + dir_.string() +
                                "' && '" SLIDETRACK_BIN
                                "' -i clip.mp4 -hide >run.out 2>run.err </dev/null";
    const int status = std::system(command.c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << read("run.err");
    return read("run.out");
  }

  std::string read(const std::string& name) const {
    std::ifstream in(dir_ / name);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  cv::Mat storedCorners() const {
    cv::Mat corners;
    cv::FileStorage fs((dir_ / "clip.mp4.cfg.xml").string(), cv::FileStorage::READ);
    if (fs.isOpened()) fs["Presentation"]["boardPoints"] >> corners;
    return corners;
  }

  const fs::path dir_ = [] {
    const fs::path dir = fs::temp_directory_path() /
                         ("slidetrack_search_run_" + std::to_string(::getpid()) + "_" +
                          ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
  }();
  const std::string clip_ = (dir_ / "clip.mp4").string();
};

// A desk, a door, a blackboard or a street's windows are no screen: the whole frame is
// taken and nothing is stored for the next run.
TEST_F(SearchRun, RoomsWithoutAScreenAreNotLocalizedAndStoreNoCorners) {
  for (Room room : {Room::Blackboard, Room::Street}) {
    RoomView view;
    view.frame = {640, 360};
    view.slide = {{{170, 60}, {470, 70}, {462, 280}, {176, 287}}};
    view.room = room;
    view.shake = 1.f;
    const cv::Mat still = drawRoom(view);
    ASSERT_NO_FATAL_FAILURE(encode([&](int i) { return drawSample(view, still, i); }, view.frame));
    const std::string out = firstRun();
    EXPECT_NE(out.find("Presentation screen was NOT localized.\n"), std::string::npos) << out;
    EXPECT_EQ(out.find("screen recording"), std::string::npos) << out;
    EXPECT_TRUE(storedCorners().empty()) << int(room);
  }
}

// The camera shakes by up to a pixel and a half: every edge of the room moves between the
// samples, but only the slides change.
TEST_F(SearchRun, ShakingCameraStoresTheProjectedImagesCorners) {
  RoomView view;
  view.frame = {640, 360};
  view.slide = {{{170, 60}, {470, 70}, {462, 280}, {176, 287}}};
  view.shake = 1.5f;
  const cv::Mat still = drawRoom(view);
  ASSERT_NO_FATAL_FAILURE(encode([&](int i) { return drawSample(view, still, i); }, view.frame));
  const std::string out = firstRun();
  EXPECT_NE(out.find("Presentation screen was localized.\n"), std::string::npos) << out;
  const cv::Mat corners = storedCorners();
  ASSERT_EQ(corners.total(), 4u);
  for (int k = 0; k < 4; ++k)
    EXPECT_LE(cv::norm(corners.at<cv::Point2f>(k) - view.slide[size_t(k)]), 3.0)
        << "corner " << k << " at " << corners.at<cv::Point2f>(k);
}

TEST_F(SearchRun, ScreenRecordingIsRecognisedAndNeedsNoCorners) {
  ASSERT_NO_FATAL_FAILURE(encode(
      [](int i) {
        cv::Mat grey;
        cv::cvtColor(drawSlide(i, {640, 360}), grey, cv::COLOR_BGR2GRAY);
        return grey;
      },
      {640, 360}));
  const std::string out = firstRun();
  EXPECT_NE(out.find("The video is a screen recording: the whole frame is the slide.\n"
                     "Presentation screen was NOT localized.\n"),
            std::string::npos)
      << out;
  EXPECT_TRUE(storedCorners().empty());
}

}  // namespace
