// Building the features of the original slides, and recognising screen images by them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "grad_dist.h"
#include "lecture_scene.h"
#include "original_library.h"
#include "presentation_settings.h"
#include "scratch.h"
#include "slide_list.h"
#include "slide_matcher.h"

namespace {

struct OriginalLibrary : ::testing::Test {
  ScratchDir dir;
  SlideList originals;
  PresentationSettings settings;
  std::unique_ptr<GradDistExtractor> extractor = zorGllfGradDistCreate();
  std::vector<cv::Mat> shown;
  ProgressViewer recorder = [this](const cv::Mat& picture) {
    shown.push_back(picture.clone());
    return -1;
  };

  void SetUp() override { zorGllfGradDistInit(extractor.get(), 2, 8, 0.31075269f, 31); }

  // Lists file as an original; writes picture there unless it is empty (a missing file).
  void add(const std::string& file, const cv::Mat& picture) {
    SlideRecord record;
    record.src = dir / file;
    if (!picture.empty()) cv::imwrite(*record.src, picture);
    originals.slides.push_back(record);
  }
  std::unique_ptr<OriginalSlideLibrary> build(const ProgressViewer& viewer,
                                              bool* aborted = nullptr) {
    return originalLibraryBuild(&originals, extractor.get(), &settings, viewer, aborted);
  }
  // The progress pictures shown are those of these fractions, in order.
  bool showed(const std::vector<double>& fractions) {
    if (shown.size() != fractions.size()) return false;
    for (size_t i = 0; i < shown.size(); ++i) {
      const cv::Mat expected = progressWindowShow("Feature Extraction: ", fractions[i], 35, 500);
      if (cv::norm(shown[i], expected, cv::NORM_INF) != 0) return false;
    }
    return true;
  }
};

cv::Mat element(const OriginalSlideLibrary& library, int k) {
  return library.features.rowRange(k * 825, (k + 1) * 825);
}

// What the rectified screen looks like: slightly misaligned corners, sensor noise, and
// the speaker's dark silhouette over the lower part.
cv::Mat screenImage(const cv::Mat& slide, cv::RNG& rng) {
  const float w = slide.cols, h = slide.rows;
  const cv::Point2f from[] = {{0, 0}, {w, 0}, {w, h}, {0, h}};
  const cv::Point2f corners[] = {{0, 0}, {640, 0}, {640, 480}, {0, 480}};
  cv::Point2f to[4];
  for (int i = 0; i < 4; ++i)
    to[i] = corners[i] + cv::Point2f(rng.uniform(-6.f, 6.f), rng.uniform(-6.f, 6.f));
  cv::Mat screen, noise(480, 640, CV_16SC3), noisy;
  cv::warpPerspective(slide, screen, cv::getPerspectiveTransform(from, to), cv::Size(640, 480));
  const int x = rng.uniform(60, 500);
  cv::ellipse(screen, cv::Point(x, 480), cv::Size(70, 150), 0, 0, 360, cv::Scalar(35, 30, 30),
              cv::FILLED);
  cv::circle(screen, cv::Point(x, 300), 40, cv::Scalar(40, 40, 50), cv::FILLED);
  rng.fill(noise, cv::RNG::NORMAL, 0, 6);
  cv::add(screen, noise, noisy, cv::noArray(), CV_8UC3);
  cv::cvtColor(noisy, screen, cv::COLOR_BGR2GRAY);
  return screen;
}

}  // namespace

TEST_F(OriginalLibrary, MissingOriginalKeepsItsPlaceAnySizeGivesTheFrameShape) {
  cv::Mat grey;
  cv::cvtColor(drawSlide(3, cv::Size(800, 600)), grey, cv::COLOR_BGR2GRAY);
  add("large.png", drawSlide(0, cv::Size(2048, 1536)));
  add("missing.png", cv::Mat());
  add("small.png", drawSlide(2, cv::Size(200, 150)));
  add("grey.png", grey);
  bool aborted = true;
  auto library = build(recorder, &aborted);
  ASSERT_NE(library, nullptr);
  EXPECT_FALSE(aborted);
  ASSERT_EQ(library->features.size(), cv::Size(8, 4 * 825));
  EXPECT_EQ(cv::countNonZero(element(*library, 1)), 0);
  for (int k : {0, 2, 3}) EXPECT_GT(cv::countNonZero(element(*library, k)), 825) << k;
  EXPECT_TRUE(showed({0.0, 0.5, 0.75}));

  // An element holds exactly what the frame path computes for the same picture.
  cv::Mat picture = cv::imread(*originals.slides[2].src, cv::IMREAD_COLOR), prepared;
  featureImagePrepare(picture, prepared, settings);
  cv::Mat direct(825, 8, CV_32FC1);
  zorGllfGradDistExtract(extractor.get(), prepared, &direct);
  EXPECT_EQ(cv::norm(direct, element(*library, 2), cv::NORM_INF), 0.0);
}

TEST_F(OriginalLibrary, NothingOrOneToBuild) {
  EXPECT_EQ(build(recorder), nullptr);
  EXPECT_EQ(originalLibraryBuild(nullptr, extractor.get(), &settings, recorder, nullptr), nullptr);
  EXPECT_EQ(originalLibraryBuild(&originals, nullptr, &settings, recorder, nullptr), nullptr);
  EXPECT_TRUE(shown.empty());
  add("only.jpg", drawSlide(4));
  auto library = build(recorder);
  ASSERT_NE(library, nullptr);
  EXPECT_EQ(library->count, 1);
  EXPECT_TRUE(showed({0.0}));
  settings.localWidth = 20;  // a feature image that holds no window
  EXPECT_EQ(build(recorder), nullptr);
}

TEST_F(OriginalLibrary, EscapeStopsTheBuild) {
  for (int k = 0; k < 4; ++k) add("e" + std::to_string(k) + ".png", drawSlide(k));
  int calls = 0;
  bool aborted = false;
  EXPECT_EQ(build([&](const cv::Mat&) { return ++calls == 2 ? 27 : -1; }, &aborted), nullptr);
  EXPECT_TRUE(aborted && calls == 2);
}

TEST_F(OriginalLibrary, EachScreenImageMatchesItsOriginal) {
  for (int k = 0; k < 12; ++k) add("slide" + std::to_string(k) + ".png", drawSlide(k));
  auto library = build({});
  ASSERT_NE(library, nullptr);
  cv::Mat features(825, 8, CV_32FC1), featureImage, voteRow;
  cv::RNG rng(5);
  for (int k = 0; k < 12; ++k) {
    cv::Mat screen = screenImage(drawSlide(k), rng);
    featureImagePrepare(screen, featureImage, settings);
    ASSERT_NE(zorGllfGradDistExtract(extractor.get(), featureImage, &features), nullptr);
    slideMatchScore(*library, features, nullptr, voteRow);
    int index = -1;
    double ratio = -1;
    EXPECT_EQ(slideMatchDecide(voteRow, settings.matchLimit, &index, &ratio), 1) << ratio;
    EXPECT_EQ(index, k) << ratio;
  }
}
