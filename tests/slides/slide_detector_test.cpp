#include "slide_detector.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "slide_detector_steps.h"

namespace {

// A text-like slide: title bar, bullet lines and a figure placed by the index.
cv::Mat drawSlide(int index, int offset = 0) {
  cv::Mat s(480, 640, CV_8UC3, cv::Scalar(230 + offset, 230 + offset, 230 + offset));
  cv::rectangle(s, cv::Rect(0, 0, 640, 60), cv::Scalar(120, 40, 30), cv::FILLED);
  cv::putText(s, "Lecture " + std::to_string(index), cv::Point(20, 42), cv::FONT_HERSHEY_SIMPLEX,
              1.2, cv::Scalar(255, 255, 255), 2);
  for (int i = 0; i < 8; ++i) {
    const int y = 100 + i * 45 + (index % 3) * 12;
    cv::circle(s, cv::Point(40 + 20 * (index % 2), y - 8), 5, cv::Scalar(20, 20, 20), cv::FILLED);
    cv::putText(s, "point " + std::to_string(index * 10 + i) + " of topic " + std::to_string(index),
                cv::Point(60 + 20 * (index % 2), y), cv::FONT_HERSHEY_SIMPLEX, 0.8,
                cv::Scalar(30, 30, 30), 2);
  }
  cv::rectangle(s, cv::Rect(420 - 60 * (index % 4), 200, 160, 120), cv::Scalar(40, 140, 40), 3);
  return s;
}

std::unique_ptr<SlideChangeDetector> makeDetector(int ring) {
  return slideDetCreate(nullptr, 120, 160, ring, 0.01f, 0.3f);
}

bool same(const cv::Mat& a, const cv::Mat& b) {
  return a.size() == b.size() && a.type() == b.type() && cv::norm(a, b, cv::NORM_INF) == 0;
}

}  // namespace

TEST(SlideDetector, CreateChecksRingAndSizes) {
  EXPECT_FALSE(slideDetCreate(nullptr, 120, 160, 0, 0.01f, 0.3f));
  EXPECT_FALSE(slideDetCreate(nullptr, 120, 160, 256, 0.01f, 0.3f));
  EXPECT_FALSE(slideDetCreate(nullptr, 0, 160, 10, 0.01f, 0.3f));
  EXPECT_FALSE(slideDetCreate(nullptr, 120, -1, 10, 0.01f, 0.3f));
  EXPECT_TRUE(slideDetCreate(nullptr, 1, 1, 1, 0.01f, 0.3f));

  std::unique_ptr<SlideChangeDetector> det = makeDetector(255);
  ASSERT_TRUE(det);
  cv::Mat small;
  cv::resize(drawSlide(0), small, cv::Size(64, 48));
  ASSERT_EQ(slideDetProcess(det.get(), small, nullptr), 0);
  EXPECT_EQ(det->frames.size(), 255u);
  EXPECT_EQ(det->pos, 1);
  // Re-creating an existing detector empties it.
  det = slideDetCreate(std::move(det), 60, 80, 3, 0.01f, 0.3f);
  ASSERT_TRUE(det);
  EXPECT_TRUE(det->slideImage.empty());
  EXPECT_TRUE(det->frames.empty());
  slideDetRelease(det);
  EXPECT_FALSE(det);
  slideDetRelease(det);  // releasing none is harmless
}

TEST(SlideDetector, IdenticalFramesNeverChange) {
  std::unique_ptr<SlideChangeDetector> det = makeDetector(4);
  const cv::Mat a = drawSlide(1);
  double score = -1;
  EXPECT_EQ(slideDetProcess(det.get(), a, &score), 0);  // primes
  EXPECT_EQ(score, 0.0);
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(slideDetProcess(det.get(), a, &score), 0);
    const ChangeMeasure m = changeSpread(det->diff);
    EXPECT_EQ(m.spread, 0.f);
    EXPECT_EQ(m.fraction, 0.f);
    EXPECT_EQ(score, 0.0);
  }
  EXPECT_TRUE(same(slideDetSlideImage(det.get()), a));
}

TEST(SlideDetector, NoiseAndNarrowBandsDoNotFire) {
  std::unique_ptr<SlideChangeDetector> det = makeDetector(10);
  const cv::Mat a = drawSlide(2);
  cv::RNG rng(5);
  for (int i = 0; i < 12; ++i) {
    cv::Mat noisy = a.clone();
    cv::Mat noise(a.size(), CV_16SC3);
    rng.fill(noise, cv::RNG::NORMAL, 0, 4);
    noisy.convertTo(noisy, CV_16SC3);
    cv::add(noisy, noise, noisy);
    noisy.convertTo(noisy, CV_8UC3);
    EXPECT_EQ(slideDetProcess(det.get(), noisy, nullptr), 0) << "noisy frame " << i;
  }
  // A wild pattern filling a vertical band of the screen, far under a quarter wide.
  cv::Mat band = a.clone();
  for (int y = 0; y < 480; y += 8)
    cv::rectangle(band, cv::Rect(260, y, 120, 4), cv::Scalar(0, 0, 0), cv::FILLED);
  EXPECT_EQ(slideDetProcess(det.get(), band, nullptr), 0);
  const ChangeMeasure m = changeSpread(det->diff);
  EXPECT_LE(m.spread, 0.25f);
  EXPECT_GT(m.fraction, 0.05f);  // many elements changed, yet no change
}

TEST(SlideDetector, SlideChangeKeepsPicturesApart) {
  std::unique_ptr<SlideChangeDetector> det = makeDetector(10);
  const cv::Mat a = drawSlide(3), b = drawSlide(4);
  for (int i = 0; i < 4; ++i) ASSERT_EQ(slideDetProcess(det.get(), a, nullptr), 0);
  EXPECT_TRUE(same(slideDetSlideImage(det.get()), a));
  const uchar* picture = det->slideImage.data;  // callers may hold on to the picture
  double score = 0;
  ASSERT_EQ(slideDetProcess(det.get(), b, &score), 1);
  EXPECT_GT(score, 0.3 * 0.05);
  EXPECT_EQ(det->slideStart, 4);
  EXPECT_EQ(det->pos, 5);
  EXPECT_TRUE(same(det->slideImage, a));  // the ended slide
  EXPECT_TRUE(same(det->refEdges, det->edges[4]));
  // Right after the change the current slide is the change frame alone.
  EXPECT_TRUE(same(slideDetSlideImage(det.get()), b));
  EXPECT_EQ(slideDetProcess(det.get(), b, nullptr), 0);
  EXPECT_TRUE(same(det->refEdges, det->edges[4]));
  ASSERT_EQ(slideDetProcess(det.get(), a, nullptr), 1);
  EXPECT_TRUE(same(det->slideImage, b));
  EXPECT_EQ(det->slideImage.data, picture);
}

TEST(SlideDetector, StoredThresholdsTakeNoPart) {
  const cv::Mat a = drawSlide(10), b = drawSlide(11);
  const cv::Mat* sequence[] = {&a, &a, &b, &b, &a, &b};
  auto run = [&](float diffThresh, float distrThresh) {
    std::unique_ptr<SlideChangeDetector> det =
        slideDetCreate(nullptr, 120, 160, 10, diffThresh, distrThresh);
    std::vector<int> results;
    for (const cv::Mat* frame : sequence)
      results.push_back(slideDetProcess(det.get(), *frame, nullptr));
    return results;
  };
  const std::vector<int> expected{0, 0, 1, 0, 1, 1};
  EXPECT_EQ(run(0.01f, 0.3f), expected);
  EXPECT_EQ(run(0.9f, 0.001f), expected);
}

TEST(SlideDetector, LongSlideWrapsTheRing) {
  // Uniform brightness offsets leave the edges alone but mark the frames.
  std::unique_ptr<SlideChangeDetector> det = makeDetector(10);
  const cv::Mat first = drawSlide(5), mid = drawSlide(5, 3), late = drawSlide(5, 5);
  for (int frame = 1; frame <= 10; ++frame)
    ASSERT_EQ(slideDetProcess(det.get(), frame == 1 ? first : mid, nullptr), 0) << frame;
  // pos is back at slideStart: the window is the whole ring.
  ASSERT_EQ(det->pos, 0);
  EXPECT_TRUE(same(slideDetSlideImage(det.get()), mid));
  ASSERT_EQ(slideDetProcess(det.get(), late, nullptr), 0);
  // The next window starts again at length 1: the 11th frame alone.
  EXPECT_TRUE(same(slideDetSlideImage(det.get()), late));
  ASSERT_EQ(slideDetProcess(det.get(), late, nullptr), 0);
  ASSERT_EQ(slideDetProcess(det.get(), drawSlide(6), nullptr), 1);
  // Built from slots 0 and 1 only: the 11th and 12th frames.
  EXPECT_TRUE(same(det->slideImage, late));
  EXPECT_EQ(det->slideStart, 2);
}

TEST(SlideDetector, FullRingChangeKeepsTheNextSlideOut) {
  // The change lands on the slot where the slide's window starts; the ended picture
  // must still be made of the ended slide's frames only.
  const cv::Mat a = drawSlide(7), b = drawSlide(8, 20);
  for (int ring : {1, 2, 3}) {
    std::unique_ptr<SlideChangeDetector> det = makeDetector(ring);
    for (int i = 0; i < ring; ++i) ASSERT_EQ(slideDetProcess(det.get(), a, nullptr), 0);
    ASSERT_EQ(det->pos, det->slideStart);
    ASSERT_EQ(slideDetProcess(det.get(), b, nullptr), 1) << ring;
    EXPECT_TRUE(same(det->slideImage, a)) << ring;
    EXPECT_TRUE(same(slideDetSlideImage(det.get()), b)) << ring;
  }
}

TEST(SlideDetector, ForeignFramesAreRefused) {
  std::unique_ptr<SlideChangeDetector> det = makeDetector(3);
  cv::Mat grey(480, 640, CV_8UC1, cv::Scalar(100));
  EXPECT_EQ(slideDetProcess(det.get(), grey, nullptr), -1);
  EXPECT_TRUE(det->slideImage.empty());
  EXPECT_EQ(slideDetProcess(det.get(), cv::Mat(), nullptr), -1);
  ASSERT_EQ(slideDetProcess(det.get(), drawSlide(9), nullptr), 0);
  EXPECT_EQ(slideDetProcess(det.get(), cv::Mat(240, 320, CV_8UC3), nullptr), -1);
  EXPECT_EQ(det->pos, 1);
  // Re-priming with the detector's own picture works.
  EXPECT_EQ(slideDetReset(det.get(), &det->slideImage), 1);
  EXPECT_TRUE(same(det->slideImage, drawSlide(9)));
  EXPECT_EQ(slideDetReset(det.get(), nullptr), -1);
  EXPECT_TRUE(det->frames.empty());
  EXPECT_TRUE(slideDetSlideImage(det.get()).empty());
}
