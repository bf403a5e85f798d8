// The speaker's body found in one image, the picture's own tracking of him under a projector's
// uneven light, and the track's row steps against their plain forms.

#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include "lecture_scene.h"
#include "slides/colour_off.h"
#include "slides/plain_pixels.h"
#include "slides/shift_diff.h"
#include "slides/speaker_body.h"
#include "slides/speaker_rows.h"
#include "slides/speaker_track.h"
#include "speaker.h"

using namespace slidetrack;

namespace {

cv::Mat workImage(const cv::Mat& screen) {
  cv::Mat grey, work;
  screenWorkImage(screen, grey, work);
  return work;
}

// A person in front of the slide, his arm reaching into it.
cv::Mat withSpeaker(cv::Mat screen) {
  cv::Mat shape = cv::Mat::zeros(screen.size(), CV_8UC1);
  cv::rectangle(shape, cv::Rect(365, 285, 110, 200), 255, cv::FILLED);
  cv::line(shape, {460, 300}, {230, 170}, 255, 36);
  screen.setTo(cv::Scalar(60, 45, 40), shape);
  cv::circle(screen, {420, 250}, 28, cv::Scalar(120, 150, 190), cv::FILLED);
  return screen;
}

const cv::Size kScreen(640, 480);

// The screen a third darker at its corners than at its centre.
cv::Mat darkCorners(const cv::Mat& lit) {
  cv::Mat screen = lit.clone();
  for (int y = 0; y < screen.rows; ++y)
    for (int x = 0; x < screen.cols; ++x) {
      const float u = (x - 320) / 320.f, v = (y - 240) / 240.f;
      screen.at<cv::Vec3b>(y, x) *= 1.f - 0.33f * (u * u + v * v) / 2;
    }
  return screen;
}

SpeakerPose at(float x, float arm = 999) {
  SpeakerPose pose;
  pose.present = true;
  pose.height = 0.95f * kScreen.height;
  pose.x = x;
  pose.footY = kScreen.height + 0.28f * pose.height;
  pose.arm = arm;
  return pose;
}

bool covers(const cv::Mat& body, const SpeakerPose& pose) {
  const cv::Mat mask = speakerMask(pose, kScreen);
  cv::Mat work;
  cv::resize(mask, work, body.size(), 0, 0, cv::INTER_NEAREST);
  return cv::countNonZero(work & ~body) < cv::countNonZero(work) / 8;
}

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

TEST(SpeakerBody, FindsAPersonWithHisArmButNotTheSlidesOwnShapes) {
  const cv::Mat slide = drawSlide(6, cv::Size(640, 480));
  const cv::Mat all(240, 320, CV_8UC1, cv::Scalar(255));
  const cv::Mat work = workImage(withSpeaker(slide.clone()));
  cv::Mat body;
  speakerBody(work, 244, all, body);
  EXPECT_TRUE(body.at<unsigned char>(200, 210));  // torso
  EXPECT_TRUE(body.at<unsigned char>(85, 115));   // hand
  EXPECT_FALSE(body.at<unsigned char>(20, 40));   // the title, far from him

  // Nothing there moves: a plain shape at the bottom is the slide's.
  speakerBody(work, 244, cv::Mat::zeros(all.size(), CV_8UC1), body);
  EXPECT_EQ(cv::countNonZero(body), 0);

  // Beside him, within his outline's bounds, a plain block rises from the bottom too; only
  // he moves, so it stays the slide's.
  cv::Mat block = withSpeaker(slide.clone());
  cv::rectangle(block, cv::Rect(230, 360, 100, 120), cv::Scalar(60, 45, 40), cv::FILLED);
  cv::Mat torso = cv::Mat::zeros(all.size(), CV_8UC1);
  torso(cv::Rect(190, 150, 40, 80)).setTo(255);
  speakerBody(workImage(block), 244, torso, body);
  EXPECT_TRUE(body.at<unsigned char>(200, 210));
  EXPECT_TRUE(body.at<unsigned char>(85, 115));
  EXPECT_FALSE(body.at<unsigned char>(225, 145));  // the block

  // A footer bar runs the screen's width; a side bar comes down from the top.
  cv::Mat bars = slide.clone();
  cv::rectangle(bars, cv::Rect(0, 440, 640, 40), cv::Scalar(90, 40, 30), cv::FILLED);
  cv::rectangle(bars, cv::Rect(560, 0, 80, 440), cv::Scalar(90, 90, 90), cv::FILLED);
  speakerBody(workImage(bars), 244, all, body);
  EXPECT_EQ(cv::countNonZero(body), 0);
}

// The integer sums give the float blurs' bytes, also on windows whose variance lies within
// rounding of the limit, which noise of a few levels around any grey makes common.
TEST(PlainPixels, AreTheFloatBlursPixelForPixel) {
  cv::RNG rng(7);
  for (int k = 0; k < 40; ++k) {
    cv::Mat grey(4 + k * 7, 5 + k * 9, CV_8UC1), f, mean, meanSq, expected, plain;
    rng.fill(grey, cv::RNG::NORMAL, rng.uniform(0, 256), rng.uniform(1, 16));
    grey.convertTo(f, CV_32F);
    cv::blur(f, mean, cv::Size(7, 7));
    cv::blur(f.mul(f), meanSq, cv::Size(7, 7));
    cv::compare(meanSq - mean.mul(mean), 64.0, expected, cv::CMP_LT);
    plainPixels(grey, 8.0, plain);
    EXPECT_EQ(cv::countNonZero(plain != expected), 0) << grey.size();
  }
}

TEST(SpeakerTrack, FindsHimUnderUnevenLightAndKeepsHimWhileHeStandsButNotTheSlidesShapes) {
  // A slide with a plain block rising from its bottom edge, which never moves.
  cv::Mat slide = drawSlide(3, kScreen);
  cv::rectangle(slide, cv::Rect(40, 330, 150, 150), cv::Scalar(110, 70, 40), cv::FILLED);
  SpeakerTrack track;
  for (int t = 0; t < 16; ++t) {
    // He walks in and stands; from t = 8 he holds his arm out across the slide, wider than
    // a body found in one image alone may be, and does not move. His body stays found (but
    // for the arm that hung down before).
    const SpeakerPose pose = at(std::min(430.f, 330.f + 20.f * t), t >= 8 ? 175 : 999);
    cv::Mat screen = slide.clone();
    drawSpeaker(screen, pose, 1);
    track.next(workImage(darkCorners(screen)), t == 0);
    if (t < 3) continue;
    EXPECT_TRUE(covers(track.body(), at(pose.x))) << t;
    EXPECT_EQ(cv::countNonZero(track.body()(cv::Rect(22, 170, 70, 60))), 0) << t;  // the block
  }
}

TEST(ColourOff, APersonFoundIsLeftOutOfTheBackgroundsColour) {
  // A beige shirt of the white slide's grey fills most of the upper screen: taken as the
  // background, it would make the slide itself the odd colour.
  cv::Mat colour(120, 160, CV_8UC3, cv::Scalar(200, 200, 200));
  const cv::Rect shirt(0, 0, 110, 120);
  colour(shirt).setTo(cv::Scalar(170, 200, 225));
  cv::Mat grey(colour.size(), CV_8UC1, cv::Scalar(200));
  cv::Mat person = cv::Mat::zeros(colour.size(), CV_8UC1);
  person(shirt).setTo(255);
  cv::Mat off;
  colourOffBackground(colour, grey, 200, off);
  EXPECT_EQ(off.at<unsigned char>(10, 150), 255);  // inside out without the person left out
  colourOffBackground(colour, grey, 200, off, person);
  EXPECT_EQ(off.at<unsigned char>(10, 150), 0);
  EXPECT_EQ(cv::countNonZero(off(shirt)), shirt.area());
}

// The speaker track's row steps give the bytes of their plain forms.
TEST(SpeakerRows, ColourOffAsPlain) {
  // An even screen width, an odd one whose last work pixel has no second screen pixel, and
  // one whose rows end between the widest steps.
  for (int width : {640, 639, 600})
    for (int seed = 1; seed <= 4; ++seed) {
      const cv::Mat screen = screenWithSpeaker(width, seed), work = workImage(screen);
      ASSERT_GE(screen.cols, 2 * work.cols - 1);
      cv::Mat channelsOnly;
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
            // The tint test finds pixels the channel test alone does not.
            if (tint == -1) channelsOnly = plain;
            if (tint == 24) {
              EXPECT_GT(off, cv::countNonZero(channelsOnly));
              EXPECT_EQ(cv::countNonZero(channelsOnly & ~plain), 0);
            }
          }
        }
    }
}

TEST(SpeakerRows, LevelAsPlain) {
  const cv::Mat work = workImage(screenWithSpeaker(640, 5));
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
      // In place, as a caller may ask.
      std::vector<std::uint8_t> inPlace(work.ptr(y), work.ptr(y) + cols);
      levelRow(inPlace.data(), u.data(), u2.data(), c0, c1, c2, cols, inPlace.data());
      ASSERT_EQ(inPlace, plain) << "in place, row " << y << ", " << cols << " columns";
    }
  }
  EXPECT_GT(clamped, 0);
}
