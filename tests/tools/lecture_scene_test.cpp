#include "lecture_scene.h"

#include <cstdio>
#include <string>

#include <gtest/gtest.h>
#include <unistd.h>
#include <opencv2/imgproc.hpp>

namespace {

LectureScene smallScene() {
  LectureScene scene;
  scene.frameSize = cv::Size(640, 360);
  scene.slideSize = cv::Size(512, 384);
  scene.screenCorners = {{{170, 60}, {480, 75}, {470, 305}, {160, 300}}};
  scene.schedule = {{0, 10}, {1, 5}, {2, 8}};
  return scene;
}

// The screen warped back upright, as the tool sees it.
cv::Mat rectify(const cv::Mat& frame, const std::array<cv::Point2f, 4>& corners, cv::Size size) {
  const cv::Point2f upright[4] = {{0, 0},
                                  {float(size.width), 0},
                                  {float(size.width), float(size.height)},
                                  {0, float(size.height)}};
  cv::Mat out;
  cv::warpPerspective(frame, out, cv::getPerspectiveTransform(corners.data(), upright), size);
  return out;
}

double meanDiff(const cv::Mat& a, const cv::Mat& b, cv::Rect area) {
  cv::Mat ga, gb, diff;
  cv::cvtColor(a(area), ga, cv::COLOR_BGR2GRAY);
  cv::cvtColor(b(area), gb, cv::COLOR_BGR2GRAY);
  cv::absdiff(ga, gb, diff);
  return cv::mean(diff)[0];
}

// Changed share of a small edge map and how widely the changes spread over rows and columns.
void edgeChange(const cv::Mat& a, const cv::Mat& b, double* fraction, double* spread) {
  auto edges = [](const cv::Mat& image) {
    cv::Mat grey, small, dx, dy, mag;
    cv::cvtColor(image, grey, cv::COLOR_BGR2GRAY);
    cv::GaussianBlur(grey, grey, cv::Size(5, 5), 0);
    cv::resize(grey, small, cv::Size(160, 120), 0, 0, cv::INTER_NEAREST);
    cv::Sobel(small, dx, CV_32F, 1, 0);
    cv::Sobel(small, dy, CV_32F, 0, 1);
    cv::convertScaleAbs(cv::abs(dx) + cv::abs(dy), mag, 0.3535);
    cv::dilate(mag, mag, cv::Mat());
    return mag;
  };
  cv::Mat diff;
  cv::absdiff(edges(a), edges(b), diff);
  diff = diff > 30;
  cv::Mat rows, cols;
  cv::reduce(diff, rows, 1, cv::REDUCE_MAX);
  cv::reduce(diff, cols, 0, cv::REDUCE_MAX);
  *fraction = cv::countNonZero(diff) / double(diff.total());
  *spread = cv::countNonZero(rows) / 120.0 * cv::countNonZero(cols) / 160.0;
}

}  // namespace

TEST(LectureScene, ScheduleGivesTheSlideOfEveryFrame) {
  LectureScene scene = smallScene();
  scene.schedule = {{4, 3}, {7, 0}, {2, 2}, {4, 1}};
  EXPECT_EQ(scene.frameCount(), 6);
  const int expected[] = {4, 4, 4, 2, 2, 4};
  for (int f = 0; f < 6; ++f) EXPECT_EQ(scene.slideAt(f), expected[f]) << "frame " << f;
  EXPECT_EQ(scene.slideAt(-1), -1);
  EXPECT_EQ(scene.slideAt(6), -1);
  EXPECT_EQ(LectureScene().frameCount(), 0);
}

TEST(LectureScene, SlidesAreRepeatableAndNeighboursDifferAcrossTheSlide) {
  EXPECT_EQ(cv::norm(drawSlide(3), drawSlide(3), cv::NORM_INF), 0);
  EXPECT_EQ(drawSlide(5, cv::Size(320, 240)).size(), cv::Size(320, 240));
  for (cv::Size size : {cv::Size(1024, 768), cv::Size(320, 240)}) {
    for (int i = 0; i < 15; ++i) {
      double fraction, spread;
      edgeChange(drawSlide(i, size), drawSlide(i + 1, size), &fraction, &spread);
      EXPECT_GT(spread, 0.45) << "slides " << i << "/" << i + 1 << " at " << size;
      EXPECT_GT(fraction, 0.08) << "slides " << i << "/" << i + 1 << " at " << size;
    }
  }
}

TEST(LectureScene, RectifiedFrameShowsTheScheduledSlide) {
  LectureScene scene = smallScene();
  scene.noiseSigma = 3;
  scene.shakePixels = 1.5;
  scene.occluder = true;
  const cv::Size size = scene.slideSize;
  const cv::Rect upper(8, 8, size.width - 16, size.height * 6 / 10);  // clear of the speaker
  for (int frame : {0, 12, 20}) {
    const int shown = scene.slideAt(frame);
    const cv::Mat screen =
        rectify(renderLectureFrame(scene, frame), sceneCornersAt(scene, frame), size);
    const double own = meanDiff(screen, drawSlide(shown, size), upper);
    const double other = meanDiff(screen, drawSlide(shown + 1, size), upper);
    EXPECT_LT(own, 22) << "frame " << frame;
    EXPECT_LT(own * 2, other) << "frame " << frame;
  }
}

TEST(LectureScene, ShakeIsSmallAndSmooth) {
  LectureScene scene = smallScene();
  scene.shakePixels = 2;
  double largest = 0;
  for (int f = 0; f < 200; ++f) {
    const auto now = sceneCornersAt(scene, f), next = sceneCornersAt(scene, f + 1);
    const cv::Point2f move = now[0] - scene.screenCorners[0];
    largest = std::max(largest, cv::norm(move));
    EXPECT_LE(std::abs(move.x), 2.01);
    EXPECT_LE(std::abs(move.y), 2.01);
    EXPECT_LT(cv::norm(next[0] - now[0]), 1.5);
    for (int k = 1; k < 4; ++k) EXPECT_LT(cv::norm(now[k] - scene.screenCorners[k] - move), 1e-3);
  }
  EXPECT_GT(largest, 1.0);
  scene.shakePixels = 0;
  EXPECT_EQ(sceneCornersAt(scene, 37), scene.screenCorners);
}

TEST(LectureScene, SpeakerWalksInFrontOfTheLowerScreenOnly) {
  LectureScene scene = smallScene();
  scene.schedule = {{0, 400}};
  LectureScene empty = scene;
  scene.occluder = true;
  cv::Mat screenMask = cv::Mat::zeros(scene.frameSize, CV_8U);
  std::vector<cv::Point> quad;
  for (const auto& c : scene.screenCorners) quad.emplace_back(cvRound(c.x), cvRound(c.y));
  cv::fillConvexPoly(screenMask, quad, 255);
  const double screenArea = cv::countNonZero(screenMask);
  const cv::Mat clean = renderLectureFrame(empty, 0);
  double mostCovered = 0;
  std::vector<double> centres;
  for (int f = 0; f < 400; f += 25) {
    cv::Mat diff, grey;
    cv::absdiff(renderLectureFrame(scene, f), clean, diff);
    cv::cvtColor(diff, grey, cv::COLOR_BGR2GRAY);
    cv::Mat covered = (grey > 20) & screenMask;
    mostCovered = std::max(mostCovered, cv::countNonZero(covered) / screenArea);
    // Nothing of the speaker above the lower half of the screen.
    EXPECT_EQ(cv::countNonZero(covered.rowRange(0, 180)), 0) << "frame " << f;
    const cv::Moments m = cv::moments(grey > 20, true);
    if (m.m00 > 0) centres.push_back(m.m10 / m.m00);
  }
  EXPECT_GT(mostCovered, 0.02);
  EXPECT_LT(mostCovered, 0.15);
  ASSERT_FALSE(centres.empty());
  const auto range = std::minmax_element(centres.begin(), centres.end());
  EXPECT_GT(*range.second - *range.first, 200);  // it walks across the screen
}

TEST(LectureScene, ScreenRecordingIsTheSlideItself) {
  LectureScene scene = screenRecordingScene(cv::Size(400, 300));
  scene.schedule = {{6, 3}};
  const cv::Mat frame = renderLectureFrame(scene, 1);
  EXPECT_LT(meanDiff(frame, drawSlide(6, scene.slideSize), cv::Rect(0, 0, 400, 300)), 20);
  EXPECT_GT(meanDiff(frame, drawSlide(7, scene.slideSize), cv::Rect(0, 0, 400, 300)), 25);
}

TEST(LectureScene, NoiseFollowsTheSeed) {
  LectureScene a = smallScene();
  a.noiseSigma = 4;
  LectureScene b = a;
  b.seed = 2;
  const cv::Mat first = renderLectureFrame(a, 3);
  EXPECT_GT(cv::norm(first, renderLectureFrame(b, 3), cv::NORM_INF), 0);
  EXPECT_EQ(cv::norm(first, renderLectureFrame(a, 3), cv::NORM_INF), 0);
  EXPECT_GT(cv::norm(first, renderLectureFrame(a, 4), cv::NORM_INF), 0);
}

TEST(LectureScene, WrittenClipHoldsEveryFrame) {
  LectureScene scene = smallScene();
  scene.frameSize = cv::Size(320, 180);
  scene.screenCorners = {{{85, 30}, {240, 37}, {235, 152}, {80, 150}}};
  scene.occluder = true;
  const std::string path = "/tmp/lecture_scene_test_" + std::to_string(getpid()) + ".mp4";
  std::string error;
  ASSERT_TRUE(writeLectureClip(scene, path, ClipOptions(), &error)) << error;
  FILE* pipe = popen(("ffprobe -v error -count_frames -select_streams v:0 -show_entries "
                      "stream=nb_read_frames,width,height -of csv=p=0 '" +
                      path + "'")
                         .c_str(),
                     "r");
  ASSERT_NE(pipe, nullptr);
  char line[128] = {0};
  ASSERT_NE(fgets(line, sizeof line, pipe), nullptr);
  pclose(pipe);
  EXPECT_EQ(std::string(line), "320,180,23\n");
  std::remove(path.c_str());
}
