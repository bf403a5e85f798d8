// The saved slide picture against the drawn slide, with a speaker from the lecture generator
// who stands still in front of it from before the slide appears until it ends.

#include <gtest/gtest.h>

#include <vector>

#include <opencv2/imgproc.hpp>

#include "lecture_scene.h"
#include "slides/robust_change.h"
#include "speaker.h"

using namespace slidetrack;

namespace {

const cv::Size kScreen(640, 480);

SpeakerPose standingAt(float x, float arm = 999) {
  SpeakerPose pose;
  pose.present = true;
  pose.height = 0.95f * kScreen.height;
  pose.x = x;
  pose.footY = kScreen.height + 0.28f * pose.height;
  pose.arm = arm;
  return pose;
}

// Sensor noise and a sub-pixel wobble, as the rectified screen of a camera shows it.
cv::Mat film(const cv::Mat& screen, int t) {
  cv::Mat out, noise(screen.size(), CV_16SC3);
  const cv::Matx23d move(1, 0, 0, 0, 1, 0.3 * (t % 2));
  cv::warpAffine(screen, out, move, screen.size(), cv::INTER_LINEAR, cv::BORDER_REPLICATE);
  cv::randn(noise, 0, 3);
  cv::add(out, noise, out, cv::noArray(), CV_8UC3);
  return out;
}

// Share of the screen under the speaker's mask where the picture differs by more than 50
// grey levels from every clean pixel around it: where he still shows.
double speakerShare(const cv::Mat& picture, const cv::Mat& slide, const cv::Mat& mask) {
  cv::Mat p, s, low, high;
  cv::cvtColor(picture, p, cv::COLOR_BGR2GRAY);
  cv::cvtColor(slide, s, cv::COLOR_BGR2GRAY);
  const cv::Mat kernel = cv::getStructuringElement(cv::MORPH_RECT, {5, 5});
  cv::erode(s, low, kernel);
  cv::dilate(s, high, kernel);
  cv::subtract(low, 50, low);
  cv::add(high, 50, high);
  const cv::Mat shows = (p < low) | (p > high);
  return cv::countNonZero(shows & mask) / double(p.total());
}

}  // namespace

TEST(CleanSlide, SpeakerStandingStillSinceBeforeTheSlideIsNotInItsPicture) {
  // He walks in over the first slide and stands, his arm now and then raised, before the
  // second slide comes up and for all of its time, in front of a plain part of it.
  for (unsigned clothes : {1u, 2u, 7u}) {
    ChangeDetectorOptions options;
    RobustChangeDetector detector(options);
    const cv::Mat first = drawSlide(2, kScreen), second = drawSlide(5, kScreen);
    const float stand = 560;
    std::vector<int> changes;
    cv::Mat picture, mask = cv::Mat::zeros(kScreen, CV_8UC1);
    for (int t = 0; t < 30; ++t) {
      const cv::Mat& slide = t < 8 ? first : t < 28 ? second : drawSlide(7, kScreen);
      const SpeakerPose pose =
          standingAt(std::min(stand, -100 + 140.f * t), t >= 14 && t % 5 < 2 ? 20 : 999);
      cv::Mat screen = slide.clone();
      drawSpeaker(screen, pose, clothes);
      if (t >= 8 && t < 28) mask |= speakerMask(pose, kScreen);
      const RobustChangeDetector::Decision d = detector.process(film(screen, t));
      if (!d.changed) continue;
      changes.push_back(t - d.framesBack);
      if (t - d.framesBack == 28) picture = detector.endedPicture().clone();
    }
    ASSERT_EQ(changes, (std::vector<int>{8, 28})) << "clothes " << clothes;
    ASSERT_FALSE(picture.empty());
    ASSERT_GT(cv::countNonZero(mask), int(0.1 * mask.total()));
    EXPECT_LE(speakerShare(picture, second, mask), 0.02) << "clothes " << clothes;
    // Away from him the slide is there, but for a seam around him and where he walked in.
    EXPECT_LE(speakerShare(picture, second, ~mask), 0.03) << "clothes " << clothes;
  }
}
