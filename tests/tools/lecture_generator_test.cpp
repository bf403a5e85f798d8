// The lecture generator the other tests make their clips with. What the screen shows is
// checked by every run on its clips (the saved pictures against the slides in run_lecture);
// the clips' declared rates are read back by the video source and frame rate tests.

#include <gtest/gtest.h>

#include "lecture_scene.h"

// The outer corners the truth gives for the screen's frame lie on the frame drawn.
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
