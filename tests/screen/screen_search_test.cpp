// The screen search by cues on drawn rooms: the projected image's corners beside desks,
// doors and dark borders, steep and far views, and the corners where its sides meet. Rooms
// without a screen and screen recordings are the search run's, as the program meets them.

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "room_frames.h"
#include "screen/screen_search.h"
#include "screen/screen_sides.h"

using namespace slidetrack;

namespace {

// The screen search by cues on drawn rooms: the projected image's corners beside desks,
// doors and dark borders, steep and far views. Rooms without a screen and screen recordings
// are the search run's, as the program meets them.
struct ViewCase {
  const char* name;
  RoomView view;
  std::vector<unsigned> seeds;
};

ViewCase hall(const char* name, cv::Size frame, std::array<cv::Point2f, 4> slide,
              bool darkTitle = false) {
  RoomView view;
  view.frame = frame;
  view.slide = slide;
  view.darkTitle = darkTitle;
  return {name, view, {1, 2}};
}

// A hall seen in a 960x540 frame, one seed.
ViewCase small(const char* name, int standFor, int armUp, float shake, float exposure) {
  ViewCase c = hall(name, {960, 540}, {{{250, 90}, {700, 105}, {690, 420}, {260, 430}}});
  c.view.standFor = standFor, c.view.armUp = armUp, c.view.shake = shake;
  c.view.exposure = exposure;
  c.seeds = {3};
  return c;
}

const std::array<cv::Point2f, 4> kModerate = {{{330, 120}, {930, 140}, {915, 560}, {345, 575}}};
const std::array<cv::Point2f, 4> kFar = {{{820, 330}, {1140, 336}, {1137, 578}, {818, 572}}};

const ViewCase kViews[] = {
    hall("Moderate", {1280, 720}, kModerate),
    hall("Steep", {1280, 720}, {{{420, 90}, {900, 190}, {900, 520}, {420, 640}}}),
    hall("SteepLeft", {1280, 720}, {{{380, 200}, {860, 100}, {860, 650}, {380, 520}}}),
    hall("Far1080", {1920, 1080}, kFar),
    // The top of the projected image has no edge against the border.
    hall("DarkTitleBar", {1280, 720}, kModerate, true),
    hall("DarkTitleBarFar", {1920, 1080}, kFar, true),
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
ViewCase hiddenLeft(const char* name, std::array<cv::Point2f, 4> slide, unsigned seed) {
  ViewCase c = hall(name, {1280, 720}, slide);
  c.seeds = {seed};
  c.view.standFor = 10, c.view.standTop = 0.42f, c.view.speakerGrey = 120;
  return c;
}

// The arm and a pointer reach above the top in a third of the samples.
ViewCase armsUp(const char* name, std::array<cv::Point2f, 4> slide, unsigned seed) {
  ViewCase c = hall(name, {1280, 720}, slide);
  c.seeds = {seed};
  c.view.armUp = 3, c.view.armFor = 3;
  return c;
}

const std::array<cv::Point2f, 4> kSteep = {{{420, 90}, {900, 190}, {900, 520}, {420, 640}}};
const ViewCase kSpeakerViews[] = {
    hiddenLeft("HiddenLeftModerate", kModerate, 1),
    hiddenLeft("HiddenLeftSteep", kSteep, 2),
    armsUp("ArmsUpModerate", kModerate, 2),
    armsUp("ArmsUpSteep", kSteep, 1),
};

void PrintTo(const ViewCase& c, std::ostream* os) { *os << c.name; }

class ScreenInRoom : public ::testing::TestWithParam<ViewCase> {};

TEST_P(ScreenInRoom, FindsTheProjectedImagesCorners) {
  const ViewCase& c = GetParam();
  RoomView view = c.view;
  for (unsigned seed : c.seeds) {
    view.seed = seed;
    const std::vector<cv::Mat> samples = drawSamples(view);
    const ScreenChoice choice = screenFindInSamples(samples, ScreenSearchOptions());
    ASSERT_EQ(choice.found, ScreenFound::Screen) << "seed " << seed;
    for (size_t k = 0; k < 4; ++k)
      EXPECT_LE(cv::norm(choice.corners[k] - view.slide[k]), 3.0)
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

// Corners of a candidate screen: the edges of a projected image meet there, while the edge
// of a block inside the slide stops short of a side that runs on past it.
// The line through p along direction, bright on the normal's side, backed from t0 to t1.
ScreenLine backedLine(cv::Point2f p, cv::Point2f normal, float t0, float t1) {
  ScreenLine l;
  l.normal = normal;
  l.direction = cv::Point2f(normal.y, -normal.x);
  l.offset = normal.dot(p);
  l.covered = {cv::Vec2f(t0, t1)};
  l.length = t1 - t0;
  return l;
}

TEST(ScreenSides, ASideRunningPastACornerTheOtherDoesNotReachIsAJunction) {
  const cv::Point2f bottomLeft(100, 400), corner(100, 100), topRight(500, 100);
  // The left side (along = -y) backed from y = 400 up to y = 20, past the corner.
  const ScreenLine runsOn = backedLine(corner, {1, 0}, -400, -20);
  const ScreenLine endsThere = backedLine(corner, {1, 0}, -400, -100);
  // A block's header inside the slide, from x = 140 to 460; the slide's own top reaches.
  const ScreenLine header = backedLine(corner, {0, 1}, 140, 460);
  const ScreenLine top = backedLine(corner, {0, 1}, 100, 500);
  EXPECT_TRUE(screenCornerIsJunction(runsOn, bottomLeft, header, topRight, corner));
  // A desk or a door edge in line with a true side runs on past a corner both sides reach.
  EXPECT_FALSE(screenCornerIsJunction(runsOn, bottomLeft, top, topRight, corner));
  EXPECT_FALSE(screenCornerIsJunction(endsThere, bottomLeft, top, topRight, corner));
  // A top cut short by a speaker in front of the corner, and a side that ends there.
  EXPECT_FALSE(screenCornerIsJunction(endsThere, bottomLeft, header, topRight, corner));
  // The same from the top's side: the top runs on past a left side that stops short.
  const ScreenLine shortLeft = backedLine(corner, {1, 0}, -400, -150);
  const ScreenLine longTop = backedLine(corner, {0, 1}, 20, 500);
  EXPECT_TRUE(screenCornerIsJunction(shortLeft, bottomLeft, longTop, topRight, corner));
}

}  // namespace
