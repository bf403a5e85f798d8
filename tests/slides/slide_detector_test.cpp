#include "slides/slide_detector.h"

#include <gtest/gtest.h>

#include <vector>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "images.h"
#include "lecture_scene.h"
#include "slides/slide_detector_steps.h"

using namespace slidetrack;

namespace {

// A drawn slide at the screen size; a uniform brightness offset marks a frame without
// moving its edges.
cv::Mat screen(int index, int offset = 0) {
  return drawSlide(index, cv::Size(640, 480)) + cv::Scalar::all(offset);
}

std::unique_ptr<SlideChangeDetector> makeDetector(int ring) {
  return slideDetCreate(nullptr, 120, 160, ring, 0.01f, 0.3f);
}

}  // namespace

TEST(SlideDetector, NoiseAndNarrowBandsDoNotFire) {
  std::unique_ptr<SlideChangeDetector> det = makeDetector(10);
  const cv::Mat a = screen(2);
  cv::RNG rng(5);
  for (int i = 0; i < 12; ++i) {
    cv::Mat noisy, noise(a.size(), CV_16SC3);
    rng.fill(noise, cv::RNG::NORMAL, 0, 4);
    cv::add(a, noise, noisy, cv::noArray(), CV_8U);
    EXPECT_EQ(slideDetProcess(det.get(), noisy, nullptr), 0) << "noisy frame " << i;
  }
  // A wild pattern filling a vertical band of the screen, under a quarter wide.
  cv::Mat band = a.clone();
  for (int y = 0; y < 480; y += 8)
    cv::rectangle(band, cv::Rect(260, y, 120, 4), cv::Scalar(0, 0, 0), cv::FILLED);
  EXPECT_EQ(slideDetProcess(det.get(), band, nullptr), 0);
  EXPECT_GT(changeSpread(det->diff).fraction, 0.05f);  // many elements changed, yet no change
}

TEST(SlideDetector, SlideChangeKeepsPicturesApart) {
  std::unique_ptr<SlideChangeDetector> det = makeDetector(10);
  const cv::Mat a = screen(3), b = screen(4);
  for (int i = 0; i < 4; ++i) ASSERT_EQ(slideDetProcess(det.get(), a, nullptr), 0);
  EXPECT_TRUE(sameImage(slideDetSlideImage(det.get()), a));
  const uchar* picture = det->slideImage.data;  // callers may hold on to the picture
  double score = 0;
  ASSERT_EQ(slideDetProcess(det.get(), b, &score), 1);
  EXPECT_GT(score, 0.3 * 0.05);
  EXPECT_EQ(det->slideStart, 4);
  EXPECT_TRUE(sameImage(det->slideImage, a));  // the ended slide
  // Right after the change the current slide is the change frame alone.
  EXPECT_TRUE(sameImage(slideDetSlideImage(det.get()), b));
  EXPECT_EQ(slideDetProcess(det.get(), b, nullptr), 0);
  EXPECT_TRUE(sameImage(det->refEdges, det->edges[4]));  // compared with the change frame
  ASSERT_EQ(slideDetProcess(det.get(), a, nullptr), 1);
  EXPECT_TRUE(sameImage(det->slideImage, b));
  EXPECT_EQ(det->slideImage.data, picture);
}

TEST(SlideDetector, LongSlideWrapsTheRing) {
  std::unique_ptr<SlideChangeDetector> det = makeDetector(10);
  const cv::Mat first = screen(5), mid = screen(5, 3), late = screen(5, 5);
  for (int frame = 1; frame <= 10; ++frame)
    ASSERT_EQ(slideDetProcess(det.get(), frame == 1 ? first : mid, nullptr), 0) << frame;
  // pos is back at slideStart: the window is the whole ring.
  ASSERT_EQ(det->pos, 0);
  EXPECT_TRUE(sameImage(slideDetSlideImage(det.get()), mid));
  ASSERT_EQ(slideDetProcess(det.get(), late, nullptr), 0);
  // The next window starts again at length 1: the 11th frame alone.
  EXPECT_TRUE(sameImage(slideDetSlideImage(det.get()), late));
  ASSERT_EQ(slideDetProcess(det.get(), late, nullptr), 0);
  ASSERT_EQ(slideDetProcess(det.get(), screen(6), nullptr), 1);
  // Built from slots 0 and 1 only: the 11th and 12th frames.
  EXPECT_TRUE(sameImage(det->slideImage, late));
  EXPECT_EQ(det->slideStart, 2);
}

TEST(SlideDetector, FullRingChangeKeepsTheNextSlideOut) {
  // The change lands on the slot where the slide's window starts; the ended picture
  // must still be made of the ended slide's frames only.
  const cv::Mat a = screen(7), b = screen(8, 20);
  for (int ring : {1, 2, 3}) {
    std::unique_ptr<SlideChangeDetector> det = makeDetector(ring);
    for (int i = 0; i < ring; ++i) ASSERT_EQ(slideDetProcess(det.get(), a, nullptr), 0);
    ASSERT_EQ(slideDetProcess(det.get(), b, nullptr), 1) << ring;
    EXPECT_TRUE(sameImage(det->slideImage, a)) << ring;
    EXPECT_TRUE(sameImage(slideDetSlideImage(det.get()), b)) << ring;
  }
}

// The stored thresholds take no part either: the second detector's are far off.
TEST(SlideDetector, WithoutPicturesOrOtherThresholdsDecidesTheSame) {
  // Short and long slides (ring wraps), noise, and a slide shown twice.
  std::vector<cv::Mat> frames;
  const int slides[] = {0, 0, 1, 1, 1, 1, 1, 1, 1, 2, 3, 3, 0, 0, 0};
  cv::RNG rng(7);
  for (int k : slides) {
    cv::Mat f = screen(k), noise(f.size(), CV_8UC3);
    rng.fill(noise, cv::RNG::UNIFORM, 0, 12);
    frames.push_back(f + noise);
  }
  std::unique_ptr<SlideChangeDetector> with = makeDetector(4),
                                       without = slideDetCreate(nullptr, 120, 160, 4, 0.9f, -0.59f);
  without->keepPictures = false;
  int changes = 0;
  for (size_t i = 0; i < frames.size(); ++i) {
    double a = -1, b = -2;
    const int decided = slideDetProcess(with.get(), frames[i], &a);
    ASSERT_EQ(slideDetProcess(without.get(), frames[i], &b), decided) << i;
    EXPECT_EQ(a, b) << i;
    ASSERT_TRUE(sameImage(with->refEdges, without->refEdges)) << i;
    changes += decided;
  }
  EXPECT_EQ(changes, 4);
  EXPECT_TRUE(without->frames.empty());
  EXPECT_TRUE(slideDetSlideImage(without.get()).empty());
  EXPECT_EQ(slideDetProcess(without.get(), cv::Mat(240, 320, CV_8UC3), nullptr), -1);
}

// Foreign frames are refused (-1) in the test above; re-priming from the detector's own
// picture must read it before it is overwritten.
TEST(SlideDetector, ResetFromItsOwnPicture) {
  std::unique_ptr<SlideChangeDetector> det = makeDetector(3);
  ASSERT_EQ(slideDetProcess(det.get(), screen(9), nullptr), 0);
  EXPECT_EQ(slideDetReset(det.get(), &det->slideImage), 1);
  EXPECT_TRUE(sameImage(det->slideImage, screen(9)));
}

// The edge map smooths only the pixels it keeps; it must match the full blur and
// decimation bit for bit, at the usual size and at odd ones.
TEST(SlideDetector, EdgeMapEqualsFullBlurThenDecimation) {
  struct Case {
    cv::Size frame, map;
  };
  for (const Case& c :
       {Case{{640, 480}, {160, 120}}, Case{{641, 479}, {160, 120}}, Case{{333, 250}, {37, 50}},
        Case{{40, 30}, {160, 120}}, Case{{5, 5}, {2, 2}}, Case{{4, 9}, {3, 3}}}) {
    for (int variant = 0; variant < 2; ++variant) {
      cv::Mat frame = noiseImage(c.frame, c.frame.area(), CV_8UC3);
      if (variant == 0) cv::resize(screen(3), frame, c.frame, 0, 0, cv::INTER_AREA);
      auto det = slideDetCreate(nullptr, c.map.height, c.map.width, 2, 0.01f, 0.3f);
      ASSERT_EQ(slideDetReset(det.get(), &frame), 1);
      cv::Mat grey, expected;
      cv::cvtColor(frame, grey, cv::COLOR_BGR2GRAY);
      cv::GaussianBlur(grey, grey, cv::Size(5, 5), 0, 0, cv::BORDER_REPLICATE);
      cv::resize(grey, expected, c.map, 0, 0, cv::INTER_NEAREST);
      edgeMagnitude(expected, expected, 3, nullptr, nullptr);
      cv::dilate(expected, expected, cv::Mat(), cv::Point(-1, -1), 1, cv::BORDER_REPLICATE);
      EXPECT_TRUE(sameImage(det->edges[0], expected))
          << c.frame << " to " << c.map << ", " << variant;
    }
  }
}
