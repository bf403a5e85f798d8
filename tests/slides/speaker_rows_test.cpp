// The speaker track's row steps give the bytes of their plain forms.
#include "slides/speaker_rows.h"

#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include "lecture_scene.h"
#include "slides/shift_diff.h"

using namespace slidetrack;

namespace {

// A drawn slide with someone in coloured clothes in front, and noise over it all.
cv::Mat screenWithSpeaker(int width, int seed) {
  cv::Mat screen = drawSlide(seed % 7, cv::Size(width, 480));
  cv::rectangle(screen, cv::Rect(width / 2, 260, 120, 220), cv::Scalar(40, 160, 60), cv::FILLED);
  cv::circle(screen, {width / 2 + 60, 230}, 30, cv::Scalar(110, 140, 200), cv::FILLED);
  cv::rectangle(screen, cv::Rect(20, 300, 80, 150), cv::Scalar(250, 250, 10), cv::FILLED);
  cv::Mat noise(screen.size(), CV_8UC3);
  cv::theRNG().state = uint64(seed);
  cv::randn(noise, 0, 12);
  cv::add(screen, noise, screen);
  return screen;
}

}  // namespace

TEST(SpeakerRows, ColourOffAsPlain) {
  // An even screen width, an odd one whose last work pixel has no second screen pixel, and
  // one whose rows end between the widest steps.
  for (int width : {640, 639, 600})
    for (int seed = 1; seed <= 4; ++seed) {
      const cv::Mat screen = screenWithSpeaker(width, seed);
      cv::Mat grey, work;
      screenWorkImage(screen, grey, work);
      ASSERT_GE(screen.cols, 2 * work.cols - 1);
      for (const cv::Vec3i& low : {cv::Vec3i(-30, -30, -30), cv::Vec3i(-60, 10, -5),
                                   cv::Vec3i(-285, -285, -285), cv::Vec3i(225, 225, 225)})
        // No tint test, the speaker track's, none at all and the widest.
        for (const int tint : {-1, 24, 0, 100}) {
          const int bounds[3] = {low[0], low[1], low[2]};
          cv::Mat fast(work.size(), CV_8UC1), plain(work.size(), CV_8UC1);
          for (int y = 0; y < work.rows; ++y) {
            colourOffRow(work.ptr(y), screen.ptr(2 * y), screen.cols, bounds, 30, tint, work.cols,
                         fast.ptr(y));
            colourOffRowPlain(work.ptr(y), screen.ptr(2 * y), bounds, 30, tint, work.cols,
                              plain.ptr(y));
          }
          EXPECT_EQ(cv::norm(fast, plain, cv::NORM_INF), 0.0)
              << width << " " << seed << " " << low << " " << tint;
          if (low[0] == -30 && tint != 0) {
            // Both kinds of pixel occur: the test says something.
            const int off = cv::countNonZero(plain);
            EXPECT_GT(off, 0);
            EXPECT_LT(off, int(plain.total()));
          }
        }
    }
}

// The tint test finds pixels the channel test alone does not.
TEST(SpeakerRows, TintAddsOffPixels) {
  const cv::Mat screen = screenWithSpeaker(640, 3);
  cv::Mat grey, work;
  screenWorkImage(screen, grey, work);
  const int bounds[3] = {-30, -30, -30};
  cv::Mat channels(work.size(), CV_8UC1), tinted(work.size(), CV_8UC1);
  for (int y = 0; y < work.rows; ++y) {
    colourOffRow(work.ptr(y), screen.ptr(2 * y), screen.cols, bounds, 30, -1, work.cols,
                 channels.ptr(y));
    colourOffRow(work.ptr(y), screen.ptr(2 * y), screen.cols, bounds, 30, 24, work.cols,
                 tinted.ptr(y));
  }
  EXPECT_GT(cv::countNonZero(tinted), cv::countNonZero(channels));
  EXPECT_EQ(cv::countNonZero(channels & ~tinted), 0);
}

TEST(SpeakerRows, LevelAsPlain) {
  const cv::Mat screen = screenWithSpeaker(640, 5);
  cv::Mat grey, work;
  screenWorkImage(screen, grey, work);
  std::vector<float> u(size_t(work.cols)), u2(size_t(work.cols));
  for (int x = 0; x < work.cols; ++x) {
    u[size_t(x)] = float((x - work.cols / 2.0) / (work.cols / 2.0));
    u2[size_t(x)] = u[size_t(x)] * u[size_t(x)];
  }
  cv::RNG rng(7);
  int clamped = 0;
  for (int y = 0; y < work.rows; ++y) {
    // Surfaces from flat to steep, low and high, so that both clamps are met.
    const float c0 = rng.uniform(-120.f, 120.f), c1 = rng.uniform(-40.f, 40.f),
                c2 = rng.uniform(-30.f, 30.f);
    // Odd lengths leave a tail past the last full lane.
    for (int cols : {work.cols, work.cols - 3}) {
      std::vector<std::uint8_t> fast(static_cast<size_t>(cols)), plain(static_cast<size_t>(cols));
      levelRow(work.ptr(y), u.data(), u2.data(), c0, c1, c2, cols, fast.data());
      levelRowPlain(work.ptr(y), u.data(), u2.data(), c0, c1, c2, cols, plain.data());
      ASSERT_EQ(fast, plain) << "row " << y << ", " << cols << " columns";
      for (std::uint8_t v : plain) clamped += v == 0 || v == 255;
    }
  }
  EXPECT_GT(clamped, 0);
  // In place, as a caller may ask.
  cv::Mat inPlace = work.clone(), plain(work.size(), CV_8UC1);
  for (int y = 0; y < work.rows; ++y) {
    levelRowPlain(work.ptr(y), u.data(), u2.data(), 10.f, 5.f, -3.f, work.cols, plain.ptr(y));
    levelRow(inPlace.ptr(y), u.data(), u2.data(), 10.f, 5.f, -3.f, work.cols, inPlace.ptr(y));
  }
  EXPECT_EQ(cv::norm(inPlace, plain, cv::NORM_INF), 0.0);
}
