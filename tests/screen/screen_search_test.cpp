// The screen search by cues on drawn rooms: the projected image's corners beside desks,
// doors and dark borders, steep and far views. Rooms without a screen and screen recordings
// are the search run's, as the program meets them.

#include <array>
#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <opencv2/imgcodecs.hpp>

#include "room_frames.h"
#include "screen/screen_search.h"

using namespace slidetrack;

namespace {

struct ViewCase {
  const char* name;
  cv::Size frame;
  std::array<cv::Point2f, 4> slide;
  bool darkTitle = false;
};

const ViewCase kViews[] = {
    {"Moderate", {1280, 720}, {{{330, 120}, {930, 140}, {915, 560}, {345, 575}}}},
    {"Steep", {1280, 720}, {{{420, 90}, {900, 190}, {900, 520}, {420, 640}}}},
    {"SteepLeft", {1280, 720}, {{{380, 200}, {860, 100}, {860, 650}, {380, 520}}}},
    {"Far1080", {1920, 1080}, {{{820, 330}, {1140, 336}, {1137, 578}, {818, 572}}}},
    // The top of the projected image has no edge against the border.
    {"DarkTitleBar", {1280, 720}, {{{330, 120}, {930, 140}, {915, 560}, {345, 575}}}, true},
    {"DarkTitleBarFar", {1920, 1080}, {{{820, 330}, {1140, 336}, {1137, 578}, {818, 572}}}, true},
};

void PrintTo(const ViewCase& c, std::ostream* os) { *os << c.name; }

class ScreenInRoom : public ::testing::TestWithParam<ViewCase> {};

TEST_P(ScreenInRoom, FindsTheProjectedImagesCorners) {
  const ViewCase& c = GetParam();
  for (unsigned seed : {1u, 2u}) {
    RoomView view;
    view.frame = c.frame;
    view.slide = c.slide;
    view.seed = seed;
    view.darkTitle = c.darkTitle;
    const std::vector<cv::Mat> samples = drawSamples(view);
    const ScreenChoice choice = screenFindInSamples(samples, ScreenSearchOptions());
    ASSERT_EQ(choice.found, ScreenFound::Screen) << "seed " << seed;
    for (size_t k = 0; k < 4; ++k)
      EXPECT_LE(cv::norm(choice.corners[k] - c.slide[k]), 3.0)
          << "seed " << seed << " corner " << k << " at " << choice.corners[k];
  }
}

INSTANTIATE_TEST_SUITE_P(Views, ScreenInRoom, ::testing::ValuesIn(kViews),
                         [](const auto& info) { return std::string(info.param.name); });

// A strong edge that a shaking camera moves by a pixel is no change; a new picture is.
TEST(ScreenCues, ShakenEdgesDoNotChangeNewContentDoes) {
  std::vector<cv::Mat> samples;
  for (int i = 0; i < 5; ++i) {
    cv::Mat grey(60, 80, CV_8UC1, cv::Scalar(30));
    grey.colRange(40 + i % 3 - 1, 80).setTo(230);                          // the edge sways
    cv::rectangle(grey, cv::Rect(50, 10 + 8 * i, 20, 6), 90, cv::FILLED);  // text moves
    samples.push_back(grey);
  }
  const ScreenCues cues = screenCuesOf(samples);
  EXPECT_EQ(cv::countNonZero(cues.change.colRange(30, 46) > 0), 0);
  EXPECT_GT(cues.change.at<uchar>(12, 60), 100);
}

}  // namespace
