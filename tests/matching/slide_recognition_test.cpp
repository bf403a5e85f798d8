// Recognising drawn slides from imperfect screen images, without video.
#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include "grad_dist.h"
#include "lecture_scene.h"
#include "original_library.h"
#include "presentation_settings.h"
#include "slide_matcher.h"
#include "temp_slides.h"

namespace {

const int kSlides = 12;

// What the rectified screen looks like: slightly misaligned corners, sensor noise, and
// the speaker's dark silhouette over the lower part.
cv::Mat screenImage(const cv::Mat& slide, cv::RNG& rng) {
  const cv::Point2f from[] = {{0, 0},
                              {float(slide.cols), 0},
                              {float(slide.cols), float(slide.rows)},
                              {0, float(slide.rows)}};
  const cv::Point2f corners[] = {{0, 0}, {640, 0}, {640, 480}, {0, 480}};
  cv::Point2f to[4];
  for (int i = 0; i < 4; ++i)
    to[i] = corners[i] + cv::Point2f(rng.uniform(-6.f, 6.f), rng.uniform(-6.f, 6.f));
  cv::Mat screen;
  cv::warpPerspective(slide, screen, cv::getPerspectiveTransform(from, to), cv::Size(640, 480),
                      cv::INTER_LINEAR, cv::BORDER_CONSTANT, cv::Scalar::all(0));
  const int x = rng.uniform(60, 500);
  cv::ellipse(screen, cv::Point(x, 480), cv::Size(70, 150), 0, 0, 360, cv::Scalar(35, 30, 30),
              cv::FILLED);
  cv::circle(screen, cv::Point(x, 300), 40, cv::Scalar(40, 40, 50), cv::FILLED);
  cv::Mat noise(screen.size(), CV_16SC3);
  rng.fill(noise, cv::RNG::NORMAL, 0, 6);
  cv::Mat noisy;
  cv::add(screen, noise, noisy, cv::noArray(), CV_8UC3);
  return noisy;
}

}  // namespace

TEST(SlideRecognition, EachScreenImageMatchesItsOriginal) {
  PresentationSettings settings;
  auto extractor = zorGllfGradDistCreate();
  const float ratio = static_cast<float>((double(settings.localWidth) - settings.locWndSize) /
                                         (settings.locWndSize * 100.0 * settings.locWndOverlap));
  zorGllfGradDistInit(extractor.get(), 2, settings.gradBinSize, ratio, settings.locWndSize);
  const int featureCount =
      zorGllfGradDistGetSize(extractor.get(), settings.localHeight, settings.localWidth, -1);
  ASSERT_EQ(featureCount, 825);

  TempSlides files("slide_recognition");
  std::vector<cv::Mat> slides;
  for (int k = 0; k < kSlides; ++k) {
    slides.push_back(drawSlide(k));
    files.add("slide" + std::to_string(k) + ".png", slides.back());
  }
  auto library = originalLibraryBuild(&files.list(), extractor.get(), &settings, {}, nullptr);
  ASSERT_NE(library, nullptr);

  cv::Mat features(featureCount, zorGllfGradDistGetLength(extractor.get()), CV_32FC1);
  cv::Mat featureImage, voteRow, grey;
  cv::RNG rng(5);
  for (int k = 0; k < kSlides; ++k) {
    cv::Mat screen = screenImage(slides[k], rng);
    cv::cvtColor(screen, grey, cv::COLOR_BGR2GRAY);
    featureImagePrepare(grey, featureImage, settings);
    ASSERT_NE(zorGllfGradDistExtract(extractor.get(), featureImage, &features), nullptr);
    slideMatchScore(*library, features, nullptr, voteRow);
    int index = -1;
    double score = -1;
    const int matched = slideMatchDecide(voteRow, settings.matchLimit, &index, &score);
    EXPECT_EQ(index, k) << "score " << score;
    EXPECT_EQ(matched, 1) << k << " score " << score;
  }
}
