// Building the features of the original slides, with progress and Esc.
#include <gtest/gtest.h>

#include <vector>

#include <opencv2/imgproc.hpp>

#include "grad_dist.h"
#include "lecture_scene.h"
#include "original_library.h"
#include "presentation_settings.h"
#include "temp_slides.h"

namespace {

struct OriginalLibrary : ::testing::Test {
  PresentationSettings settings;
  std::unique_ptr<GradDistExtractor> extractor = zorGllfGradDistCreate();
  std::vector<cv::Mat> shown;
  ProgressViewer recorder = [this](const cv::Mat& picture) {
    shown.push_back(picture.clone());
    return -1;
  };
  void SetUp() override { zorGllfGradDistInit(extractor.get(), 2, 8, 0.31075269f, 31); }

  cv::Mat element(const OriginalSlideLibrary& library, int k) {
    return library.features.rowRange(k * 825, (k + 1) * 825);
  }
  bool sameAsProgress(const cv::Mat& picture, double fraction) {
    const cv::Mat expected = progressWindowShow("Feature Extraction: ", fraction, 35, 500);
    return picture.size() == expected.size() && cv::norm(picture, expected, cv::NORM_INF) == 0;
  }
};

}  // namespace

TEST_F(OriginalLibrary, MissingOriginalKeepsItsPlaceAndStaysZero) {
  TempSlides files("library_missing");
  for (int k = 0; k < 4; ++k)
    files.add("o" + std::to_string(k) + ".png", k == 1 ? cv::Mat() : drawSlide(k));
  bool aborted = true;
  auto library =
      originalLibraryBuild(&files.list(), extractor.get(), &settings, recorder, &aborted);
  ASSERT_NE(library, nullptr);
  EXPECT_FALSE(aborted);
  EXPECT_EQ(library->count, 4);
  EXPECT_EQ(library->featureCount, 825);
  EXPECT_EQ(library->binCount, 8);
  ASSERT_EQ(library->features.size(), cv::Size(8, 4 * 825));
  EXPECT_TRUE(library->features.isContinuous());
  EXPECT_EQ(cv::countNonZero(element(*library, 1)), 0);
  for (int k : {0, 2, 3}) EXPECT_GT(cv::countNonZero(element(*library, k)), 825) << k;

  ASSERT_EQ(shown.size(), 3u);
  EXPECT_TRUE(sameAsProgress(shown[0], 0.0));
  EXPECT_TRUE(sameAsProgress(shown[1], 0.5));
  EXPECT_TRUE(sameAsProgress(shown[2], 0.75));

  // An element holds exactly what the frame path computes for the same picture.
  cv::Mat picture = cv::imread(*files.list().slides[2].src, cv::IMREAD_COLOR), prepared;
  featureImagePrepare(picture, prepared, settings);
  cv::Mat direct(825, 8, CV_32FC1);
  zorGllfGradDistExtract(extractor.get(), prepared, &direct);
  EXPECT_EQ(cv::norm(direct, element(*library, 2), cv::NORM_INF), 0.0);
}

TEST_F(OriginalLibrary, AnySizeOrColourGivesTheFrameShape) {
  TempSlides files("library_shapes");
  files.add("large.png", drawSlide(1, cv::Size(2048, 1536)));
  files.add("small.png", drawSlide(2, cv::Size(200, 150)));
  cv::Mat grey;
  cv::cvtColor(drawSlide(3, cv::Size(800, 600)), grey, cv::COLOR_BGR2GRAY);
  files.add("grey.png", grey);
  auto library = originalLibraryBuild(&files.list(), extractor.get(), &settings, {}, nullptr);
  ASSERT_NE(library, nullptr);
  ASSERT_EQ(library->features.size(), cv::Size(8, 3 * 825));
  for (int k = 0; k < 3; ++k) EXPECT_GT(cv::countNonZero(element(*library, k)), 825) << k;
}

TEST_F(OriginalLibrary, SingleOriginalShowsZeroPercentOnce) {
  TempSlides files("library_single");
  files.add("only.jpg", drawSlide(4));
  auto library = originalLibraryBuild(&files.list(), extractor.get(), &settings, recorder, nullptr);
  ASSERT_NE(library, nullptr);
  EXPECT_EQ(library->count, 1);
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_TRUE(sameAsProgress(shown[0], 0.0));
}

TEST_F(OriginalLibrary, NothingToBuild) {
  SlideList empty;
  EXPECT_EQ(originalLibraryBuild(&empty, extractor.get(), &settings, recorder, nullptr), nullptr);
  EXPECT_EQ(originalLibraryBuild(nullptr, extractor.get(), &settings, recorder, nullptr), nullptr);
  EXPECT_EQ(originalLibraryBuild(&empty, nullptr, &settings, recorder, nullptr), nullptr);
  EXPECT_TRUE(shown.empty());
  // Settings whose feature image holds no window.
  TempSlides files("library_tiny");
  files.add("a.png", drawSlide(0));
  settings.localWidth = 20;
  EXPECT_EQ(originalLibraryBuild(&files.list(), extractor.get(), &settings, recorder, nullptr),
            nullptr);
}

TEST_F(OriginalLibrary, EscapeStopsTheBuild) {
  TempSlides files("library_escape");
  for (int k = 0; k < 4; ++k) files.add("e" + std::to_string(k) + ".png", drawSlide(k));
  int calls = 0;
  bool aborted = false;
  auto library = originalLibraryBuild(
      &files.list(), extractor.get(), &settings,
      [&](const cv::Mat&) { return ++calls == 2 ? 27 : -1; }, &aborted);
  EXPECT_EQ(library, nullptr);
  EXPECT_TRUE(aborted);
  EXPECT_EQ(calls, 2);
}

TEST(ProgressPicture, BarFrameAndCentredLabel) {
  const cv::Mat half = progressWindowShow("Feature Extraction: ", 0.5, 35, 500);
  ASSERT_EQ(half.size(), cv::Size(500, 35));
  ASSERT_EQ(half.type(), CV_8UC3);
  EXPECT_EQ(half.at<cv::Vec3b>(4, 250), cv::Vec3b(200, 70, 70));  // bar reaches x = 250
  EXPECT_EQ(half.at<cv::Vec3b>(4, 251), cv::Vec3b(100, 20, 20));
  EXPECT_EQ(half.at<cv::Vec3b>(0, 100), cv::Vec3b(200, 200, 200));
  EXPECT_EQ(half.at<cv::Vec3b>(34, 400), cv::Vec3b(200, 200, 200));
  const cv::Mat none = progressWindowShow("Feature Extraction: ", 0.0, 35, 500);
  EXPECT_EQ(none.at<cv::Vec3b>(4, 2), cv::Vec3b(100, 20, 20));
  // Text in its colour, in the middle rows only.
  cv::Mat text;
  cv::inRange(none, cv::Scalar(230, 170, 170), cv::Scalar(255, 200, 200), text);
  cv::Rect box = cv::boundingRect(text);
  EXPECT_GT(box.area(), 0);
  EXPECT_NEAR(box.x + box.width / 2.0, 250, 6);
  EXPECT_NEAR(box.y + box.height / 2.0, 17, 4);
  // The percentage is part of the picture.
  EXPECT_GT(cv::norm(none, progressWindowShow("Feature Extraction: ", 0.001, 35, 500)), 0);
}
