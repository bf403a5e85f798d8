// The lecture generator the other tests make their clips with: where the screen is and what
// it shows. The clips' declared rates are read back by the video source and frame rate tests.

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include "lecture_scene.h"

namespace {

double meanGreyDiff(const cv::Mat& a, const cv::Mat& b, cv::Rect area) {
  cv::Mat ga, gb;
  cv::cvtColor(a(area), ga, cv::COLOR_BGR2GRAY);
  cv::cvtColor(b(area), gb, cv::COLOR_BGR2GRAY);
  return cv::norm(ga, gb, cv::NORM_L1) / area.area();
}

}  // namespace

TEST(LectureScene, RectifiedFrameShowsTheScheduledSlide) {
  LectureScene scene;
  scene.frameSize = cv::Size(640, 360);
  scene.slideSize = cv::Size(512, 384);
  scene.screenCorners = {{{170, 60}, {480, 75}, {470, 305}, {160, 300}}};
  scene.schedule = {{0, 10}, {1, 5}, {2, 8}};
  scene.noiseSigma = 3;
  scene.shakePixels = 1.5;
  scene.occluder = true;
  const cv::Size size = scene.slideSize;
  const cv::Rect upper(8, 8, size.width - 16, size.height * 6 / 10);  // clear of the speaker
  const cv::Point2f upright[4] = {{0, 0}, {512, 0}, {512, 384}, {0, 384}};
  for (int frame : {0, 12, 20}) {
    const int shown = scene.slideAt(frame);
    cv::Mat screen;
    cv::warpPerspective(renderLectureFrame(scene, frame), screen,
                        cv::getPerspectiveTransform(sceneCornersAt(scene, frame).data(), upright),
                        size);
    const double own = meanGreyDiff(screen, drawSlide(shown, size), upper);
    EXPECT_LT(own, 22) << "frame " << frame;
    EXPECT_LT(own * 2, meanGreyDiff(screen, drawSlide(shown + 1, size), upper)) << frame;
  }
}

TEST(LectureScene, ScreenFrameCornersLieOnTheDrawnFrame) {
  LectureScene scene;
  scene.schedule = {{0, 1}};
  const cv::Mat frame = renderLectureFrame(scene, 0);
  const auto area = sceneCornersAt(scene, 0);
  const auto outer = sceneFrameCornersAt(scene, 0);
  const cv::Point2f centre = (area[0] + area[2]) * 0.5f;
  for (int i = 0; i < 4; ++i) {
    const cv::Point2f towardsCentre = (centre - outer[i]) / float(cv::norm(centre - outer[i]));
    EXPECT_LT(frame.at<cv::Vec3b>(outer[i] + 2.5f * towardsCentre)[1], 60) << i;  // the frame
    EXPECT_GT(frame.at<cv::Vec3b>(outer[i] - 2.5f * towardsCentre)[1], 90) << i;  // the wall
    EXPECT_GT(cv::norm(outer[i] - area[i]), 6.0) << i;
  }
}
