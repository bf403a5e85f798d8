// Times the original slide library build and the per-frame scoring with default settings.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include <unistd.h>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "grad_dist.h"
#include "lecture_scene.h"
#include "original_library.h"
#include "presentation_settings.h"
#include "slide_list.h"
#include "slide_matcher.h"

namespace {

double millisecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
      .count();
}

}  // namespace

int main() {
  const int originals = 40;
  const int repeats = 500;
  PresentationSettings settings;
  auto extractor = zorGllfGradDistCreate();
  const float ratio = static_cast<float>((double(settings.localWidth) - settings.locWndSize) /
                                         (settings.locWndSize * 100.0 * settings.locWndOverlap));
  zorGllfGradDistInit(extractor.get(), 2, settings.gradBinSize, ratio, settings.locWndSize);
  const int featureCount =
      zorGllfGradDistGetSize(extractor.get(), settings.localHeight, settings.localWidth, -1);
  const int binCount = zorGllfGradDistGetLength(extractor.get());

  const auto dir =
      std::filesystem::temp_directory_path() / ("slide_match_bench_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  SlideList list;
  for (int k = 0; k < originals; ++k) {
    SlideRecord record;
    record.id = k;
    record.src = (dir / ("original" + std::to_string(k) + ".png")).string();
    cv::imwrite(*record.src, drawSlide(k, cv::Size(1024, 768)));
    list.slides.push_back(record);
  }

  auto start = std::chrono::steady_clock::now();
  auto library = originalLibraryBuild(&list, extractor.get(), &settings, {}, nullptr);
  const double buildMs = millisecondsSince(start);
  std::filesystem::remove_all(dir);
  if (!library) {
    std::fprintf(stderr, "library build failed\n");
    return 1;
  }

  cv::Mat screen;
  cv::resize(drawSlide(7), screen, cv::Size(settings.presentWidth, settings.presentHeight));
  cv::Mat grey, featureImage, voteRow;
  cv::Mat features(featureCount, binCount, CV_32FC1);
  cv::cvtColor(screen, grey, cv::COLOR_BGR2GRAY);
  start = std::chrono::steady_clock::now();
  for (int i = 0; i < repeats; ++i) {
    cv::Mat work = grey.clone();
    featureImagePrepare(work, featureImage, settings);
    zorGllfGradDistExtract(extractor.get(), featureImage, &features);
  }
  const double extractMs = millisecondsSince(start) / repeats;

  int index = -1;
  start = std::chrono::steady_clock::now();
  for (int i = 0; i < repeats; ++i) index = slideMatchScore(*library, features, nullptr, voteRow);
  const double scoreMs = millisecondsSince(start) / repeats;

  // For comparison: the distances alone, one library norm call per row pair.
  cv::Mat distances(originals, featureCount, CV_32FC1);
  start = std::chrono::steady_clock::now();
  for (int i = 0; i < repeats / 10; ++i) {
    for (int k = 0; k < originals; ++k) {
      for (int j = 0; j < featureCount; ++j) {
        distances.at<float>(k, j) = static_cast<float>(
            cv::norm(features.row(j), library->features.row(k * featureCount + j)));
      }
    }
  }
  const double perRowMs = millisecondsSince(start) / (repeats / 10);

  std::printf("originals %d, featureCount %d, bins %d\n", originals, featureCount, binCount);
  std::printf("library build (1024x768 PNG originals): %.1f ms total, %.2f ms per original\n",
              buildMs, buildMs / originals);
  std::printf("frame preparation + extraction: %.3f ms per frame\n", extractMs);
  std::printf("slideMatchScore: %.3f ms per frame (best original %d)\n", scoreMs, index);
  std::printf("distances by per-row cv::norm alone: %.3f ms per frame\n", perRowMs);
  return 0;
}
