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
  int standFor = 0, armUp = -1;
  float shake = 0, exposure = 0;
  std::vector<unsigned> seeds = {1, 2};
  int armFor = 1;
  float standTop = 0.55f;
  double speakerGrey = 40;
};

// A hall seen in a 960x540 frame, one seed.
ViewCase small(const char* name, int standFor, int armUp, float shake, float exposure,
               bool darkTitle = false) {
  return {name,      {960, 540}, {{{250, 90}, {700, 105}, {690, 420}, {260, 430}}},
          darkTitle, standFor,   armUp,
          shake,     exposure,   {3}};
}

const ViewCase kViews[] = {
    {"Moderate", {1280, 720}, {{{330, 120}, {930, 140}, {915, 560}, {345, 575}}}},
    {"Steep", {1280, 720}, {{{420, 90}, {900, 190}, {900, 520}, {420, 640}}}},
    {"SteepLeft", {1280, 720}, {{{380, 200}, {860, 100}, {860, 650}, {380, 520}}}},
    {"Far1080", {1920, 1080}, {{{820, 330}, {1140, 336}, {1137, 578}, {818, 572}}}},
    // The top of the projected image has no edge against the border.
    {"DarkTitleBar", {1280, 720}, {{{330, 120}, {930, 140}, {915, 560}, {345, 575}}}, true},
    {"DarkTitleBarFar", {1920, 1080}, {{{820, 330}, {1140, 336}, {1137, 578}, {818, 572}}}, true},
    // A speaker stands in front of the lower part of the left side in most samples; the
    // other samples show it.
    small("SpeakerStandsAtTheLeft", 7, -1, 0, 0),
    // In one sample the arm points beyond the top, where only a slide title may change.
    small("ArmAboveTheTop", 0, 4, 0, 0),
    // The camera shakes by half a pixel and its exposure wanders by a sixth.
    small("ShakeAndExposure", 0, -1, 0.5f, 0.16f),
};

// A speaker in mid-grey clothes stands in front of the left side in every sample, hiding
// two thirds of it.
ViewCase hiddenLeft(const char* name, cv::Size frame, std::array<cv::Point2f, 4> slide,
                    unsigned seed) {
  ViewCase c{name, frame, slide};
  c.seeds = {seed};
  c.standFor = 10;
  c.standTop = 0.42f;
  c.speakerGrey = 120;
  return c;
}

// The arm and a pointer reach above the top in a third of the samples.
ViewCase armsUp(const char* name, cv::Size frame, std::array<cv::Point2f, 4> slide, unsigned seed) {
  ViewCase c{name, frame, slide};
  c.seeds = {seed};
  c.armUp = 3;
  c.armFor = 3;
  return c;
}

const ViewCase kSpeakerViews[] = {
    hiddenLeft("HiddenLeftModerate", {1280, 720},
               {{{330, 120}, {930, 140}, {915, 560}, {345, 575}}}, 1),
    hiddenLeft("HiddenLeftSteep", {1280, 720}, {{{420, 90}, {900, 190}, {900, 520}, {420, 640}}},
               2),
    armsUp("ArmsUpModerate", {1280, 720}, {{{330, 120}, {930, 140}, {915, 560}, {345, 575}}}, 2),
    armsUp("ArmsUpSteep", {1280, 720}, {{{420, 90}, {900, 190}, {900, 520}, {420, 640}}}, 1),
};

void PrintTo(const ViewCase& c, std::ostream* os) { *os << c.name; }

class ScreenInRoom : public ::testing::TestWithParam<ViewCase> {};

TEST_P(ScreenInRoom, FindsTheProjectedImagesCorners) {
  const ViewCase& c = GetParam();
  for (unsigned seed : c.seeds) {
    RoomView view;
    view.frame = c.frame;
    view.slide = c.slide;
    view.seed = seed;
    view.darkTitle = c.darkTitle;
    view.standFor = c.standFor;
    view.armUp = c.armUp;
    view.shake = c.shake;
    view.exposure = c.exposure;
    view.armFor = c.armFor;
    view.standTop = c.standTop;
    view.speakerGrey = c.speakerGrey;
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
INSTANTIATE_TEST_SUITE_P(Speaker, ScreenInRoom, ::testing::ValuesIn(kSpeakerViews),
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
