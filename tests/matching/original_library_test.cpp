// Building the features of the original slides.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "features/feature_options.h"
#include "features/grad_dist.h"
#include "lecture_scene.h"
#include "matching/original_library.h"
#include "results/slide_list.h"
#include "scratch.h"

using namespace slidetrack;

namespace {

struct OriginalLibrary : ::testing::Test {
  ScratchDir dir;
  SlideList originals;
  FeatureOptions settings;
  std::unique_ptr<GradDistExtractor> extractor = zorGllfGradDistCreate();
  int shown = 0;  // progress pictures, one before each original read
  ProgressViewer recorder = [this](const cv::Mat&) {
    ++shown;
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
    return originalLibraryBuild(&originals, extractor.get(), settings, viewer, aborted);
  }
};

cv::Mat element(const OriginalSlideLibrary& library, int k) {
  return library.features.rowRange(k * 825, (k + 1) * 825);
}

}  // namespace

TEST_F(OriginalLibrary, MissingOriginalKeepsItsPlaceAnySizeGivesTheFrameShape) {
  cv::Mat grey;
  cv::cvtColor(drawSlide(3, cv::Size(800, 600)), grey, cv::COLOR_BGR2GRAY);
  add("large.png", drawSlide(0, cv::Size(2048, 1536)));
  add("missing.png", cv::Mat());
  add("small.png", drawSlide(2, cv::Size(200, 150)));
  add("grey.png", grey);
  // Layouts the video decoders leave to the image library are read all the same.
  cv::Mat blackWhite;
  cv::threshold(grey, blackWhite, 128, 255, cv::THRESH_BINARY);
  cv::imwrite(dir / "bilevel.png", blackWhite, {cv::IMWRITE_PNG_BILEVEL, 1});
  add("bilevel.png", cv::Mat());
  add("picture.bmp", drawSlide(5, cv::Size(640, 480)));
  bool aborted = true;
  auto library = build(recorder, &aborted);
  ASSERT_NE(library, nullptr);
  EXPECT_FALSE(aborted);
  // Memory only for the five read; each knows its place in the list.
  ASSERT_EQ(library->features.size(), cv::Size(8, 5 * 825));
  EXPECT_EQ(library->count, 5);
  EXPECT_EQ(library->listIndex, (std::vector<int>{0, 2, 3, 4, 5}));
  EXPECT_EQ(library->unread, std::vector<int>{1});
  for (int k = 0; k < 5; ++k) EXPECT_GT(cv::countNonZero(element(*library, k)), 825) << k;
  EXPECT_EQ(shown, 5);
  // The matcher's window-by-window copy holds the same values.
  ASSERT_EQ(library->byWindow.size(), cv::Size(5, 825 * 8));
  int moved = 0;
  for (int k = 0; k < 5; ++k)
    for (int j = 0; j < 825; ++j)
      for (int b = 0; b < 8; ++b)
        moved += library->byWindow.at<float>(j * 8 + b, k) != element(*library, k).at<float>(j, b);
  EXPECT_EQ(moved, 0);

  // An element holds exactly what the frame path computes for the same picture.
  cv::Mat picture = cv::imread(*originals.slides[2].src, cv::IMREAD_COLOR), prepared;
  featureImagePrepare(picture, prepared, settings);
  cv::Mat direct(825, 8, CV_32FC1);
  zorGllfGradDistExtract(extractor.get(), prepared, &direct);
  EXPECT_EQ(cv::norm(direct, element(*library, 1), cv::NORM_INF), 0.0);
}

// Originals are read on two threads; the library keeps the list's order all the same, and
// each element is what a library of that original alone holds.
TEST_F(OriginalLibrary, ReadOnTwoThreadsInListOrder) {
  std::vector<int> read;
  for (int k = 0; k < 12; ++k) {
    if (k % 4 == 1) {
      add("gone" + std::to_string(k) + ".png", cv::Mat());
    } else {
      add("s" + std::to_string(k) + (k % 2 ? ".jpg" : ".png"), drawSlide(k, cv::Size(640, 480)));
      read.push_back(k);
    }
  }
  auto library = build(recorder);
  ASSERT_NE(library, nullptr);
  EXPECT_EQ(library->listIndex, read);
  EXPECT_EQ(library->unread, (std::vector<int>{1, 5, 9}));
  EXPECT_EQ(shown, static_cast<int>(read.size()));
  const SlideList all = originals;
  for (size_t i = 0; i < read.size(); ++i) {
    originals.slides = {all.slides[read[i]]};
    auto alone = build(nullptr);
    ASSERT_NE(alone, nullptr);
    EXPECT_EQ(cv::norm(element(*alone, 0), element(*library, static_cast<int>(i)), cv::NORM_INF),
              0.0)
        << read[i];
    EXPECT_EQ(cv::norm(alone->strengths, library->strengths.row(static_cast<int>(i)), cv::NORM_INF),
              0.0)
        << read[i];
  }
}

// A list of thousands of missing files must not reserve memory for each of them.
TEST_F(OriginalLibrary, MissingOriginalsTakeNoMemory) {
  for (int k = 0; k < 3000; ++k) add("gone" + std::to_string(k) + ".png", cv::Mat());
  auto library = build(recorder);
  ASSERT_NE(library, nullptr);
  EXPECT_EQ(library->unread.size(), 3000u);
  // One empty entry keeps the matcher's shapes; it never wins a vote.
  EXPECT_EQ(library->features.rows, 825);
  EXPECT_EQ(cv::countNonZero(library->features), 0);
}

TEST_F(OriginalLibrary, NothingOrOneToBuild) {
  EXPECT_EQ(build(recorder), nullptr);
  EXPECT_EQ(originalLibraryBuild(&originals, nullptr, settings, recorder, nullptr), nullptr);
  add("only.jpg", drawSlide(4));
  auto library = build(recorder);
  ASSERT_NE(library, nullptr);
  EXPECT_EQ(library->count, 1);
  EXPECT_EQ(shown, 1);
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
