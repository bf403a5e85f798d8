// A speaker who stands still over part of a slide for all of its interval: with the talk's
// originals the saved picture shows the slide there; without them it is the picture of old.

#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include "run_harness.h"

using namespace slidetrack;

namespace {

const std::vector<cv::Point2f> kCorners = {{200, 60}, {760, 70}, {750, 470}, {210, 460}};
const cv::Size kFrame(960, 540), kSlide(1024, 768), kScreen(640, 480);
// He walks in over the first slide and stands still from frame 40 through the second.
constexpr int kFirst = 60, kSecond = 90, kStill = 40;

SpeakerPose poseAt(int frame) {
  SpeakerPose pose;
  pose.present = true;
  pose.x = 900.f - 5.f * float(std::min(frame, kStill));  // stops at x = 700
  pose.footY = 520.f;
  pose.height = 330.f;
  return pose;
}

cv::Mat slideToFrame() {
  const std::vector<cv::Point2f> slide = {{0, 0},
                                          {float(kSlide.width), 0},
                                          {float(kSlide.width), float(kSlide.height)},
                                          {0, float(kSlide.height)}};
  return cv::getPerspectiveTransform(slide, kCorners);
}

cv::Mat frameAt(int frame) {
  cv::Mat image(kFrame, CV_8UC3, cv::Scalar(60, 70, 80));
  cv::warpPerspective(drawSlide(frame < kFirst ? 0 : 1, kSlide), image, slideToFrame(), kFrame,
                      cv::INTER_LINEAR, cv::BORDER_TRANSPARENT);
  drawSpeaker(image, poseAt(frame), 7);
  return image;
}

class OriginalFillRun : public ClipRunTest {
 protected:
  void SetUp() override {
    encode(kFrame, kFirst + kSecond, frameAt);
    writeOriginals(dir_, {drawSlide(0, kSlide), drawSlide(1, kSlide), drawSlide(2, kSlide)});
  }
  PicturesObserver run(const PresentationSettings& settings, bool originals) {
    PicturesObserver pictures;
    std::optional<std::string> list;
    if (originals) list = originalsXml_;
    runPipeline(settings, {clip_, list, "pics/"}, kCorners, pictures);
    return pictures;
  }
  // The second slide's saved picture.
  cv::Mat secondPicture(const PresentationSettings& settings, bool originals) {
    const PicturesObserver pictures = run(settings, originals);
    EXPECT_EQ(pictures.pictures.size(), 2u);
    if (pictures.pictures.size() != 2u) return {};
    EXPECT_EQ(pictures.matched[1], originals);
    return pictures.pictures[1];
  }
  const std::string originalsXml_ = (dir_ / "originals.xml").string();
};

TEST_F(OriginalFillRun, WhatHeHidAllAlongComesFromTheMatchedOriginal) {
  PresentationSettings settings;
  const cv::Mat filled = secondPicture(settings, true);
  const cv::Mat plain = secondPicture(settings, false);
  settings.slideFillFromOriginal = 0;
  const cv::Mat keyOff = secondPicture(settings, true);
  ASSERT_FALSE(filled.empty() || plain.empty() || keyOff.empty());
  EXPECT_EQ(cv::norm(plain, keyOff, cv::NORM_INF), 0.0) << "key 0 keeps the surround fill";

  // Where he stood, on the screen, away from his blurred outline; and the slide there.
  cv::Mat mask, where, truth, toScreen;
  const std::vector<cv::Point2f> screen = {{0, 0},
                                           {float(kScreen.width), 0},
                                           {float(kScreen.width), float(kScreen.height)},
                                           {0, float(kScreen.height)}};
  toScreen = cv::getPerspectiveTransform(kCorners, screen);
  cv::warpPerspective(speakerMask(poseAt(kFirst), kFrame), mask, toScreen, kScreen,
                      cv::INTER_NEAREST);
  cv::erode(mask, where, cv::getStructuringElement(cv::MORPH_RECT, {7, 7}));
  ASSERT_GT(cv::countNonZero(where), kScreen.area() / 20) << "he hides a good part of it";
  cv::resize(drawSlide(1, kSlide), truth, kScreen, 0, 0, cv::INTER_AREA);
  // Share of those pixels that differ strongly from the slide: missing text, his clothing.
  const auto wrong = [&](const cv::Mat& picture) {
    cv::Mat diff;
    cv::absdiff(picture, truth, diff);
    cv::cvtColor(diff, diff, cv::COLOR_BGR2GRAY);
    return double(cv::countNonZero((diff > 50) & where)) / cv::countNonZero(where);
  };
  EXPECT_LT(wrong(filled), 0.005);
  EXPECT_GT(wrong(plain), 0.02) << "the surround cannot know the text he hid";
  // Away from him both pictures are the camera's.
  cv::Mat near, diff;
  cv::dilate(mask, near, cv::getStructuringElement(cv::MORPH_RECT, {41, 41}));
  cv::absdiff(filled, plain, diff);
  cv::cvtColor(diff, diff, cv::COLOR_BGR2GRAY);
  EXPECT_EQ(cv::countNonZero(diff & ~near), 0);

  // The design's edge-map rule keeps no map of what was never seen: its pictures stay the same.
  PresentationSettings edgeMaps;
  edgeMaps.slideDetMethod = "plain";
  const PicturesObserver with = run(edgeMaps, true), without = run(edgeMaps, false);
  ASSERT_EQ(with.pictures.size(), without.pictures.size());
  EXPECT_TRUE(with.matched.back());
  for (size_t k = 0; k < with.pictures.size(); ++k)
    EXPECT_EQ(cv::norm(with.pictures[k], without.pictures[k], cv::NORM_INF), 0.0) << k;
}

}  // namespace
