// Times the original slide library build (with its decode / preparation / extraction
// split) and the per-frame work with default settings. Figures are process CPU time: on a
// shared machine wall time mostly measures the neighbours.
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "features/feature_options.h"
#include "features/grad_dist.h"
#include "lecture_scene.h"
#include "matching/original_library.h"
#include "matching/slide_matcher.h"
#include "pictures/picture_read.h"
#include "results/slide_list.h"

using namespace slidetrack;

namespace {

double cpuMilliseconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return t.tv_sec * 1e3 + t.tv_nsec * 1e-6;
}

}  // namespace

int main() {
  const int originals = 40;
  const int repeats = 500;
  const FeatureOptions settings;
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

  double start = cpuMilliseconds();
  auto library = originalLibraryBuild(&list, extractor.get(), settings, {}, nullptr);
  const double buildMs = cpuMilliseconds() - start;

  // The same work in its three steps, each image released as the build does.
  cv::Mat prepared;
  std::vector<cv::Mat> preparedAll(originals);
  double decodeMs = 0.0;
  double prepareMs = 0.0;
  for (int k = 0; k < originals; ++k) {
    start = cpuMilliseconds();
    const cv::Mat image = pictureReadGrey(*list.slides[k].src);
    const double decoded = cpuMilliseconds();
    featureImagePrepareKeepingSource(image, prepared, settings);
    prepareMs += cpuMilliseconds() - decoded;
    decodeMs += decoded - start;
    preparedAll[k] = prepared.clone();
  }
  std::filesystem::remove_all(dir);
  cv::Mat element(featureCount, binCount, CV_32FC1);
  start = cpuMilliseconds();
  for (int k = 0; k < originals; ++k) {
    zorGllfGradDistExtract(extractor.get(), preparedAll[k], &element);
  }
  const double extractLibMs = cpuMilliseconds() - start;
  if (!library) {
    std::fprintf(stderr, "library build failed\n");
    return 1;
  }

  cv::Mat screen;  // at the default presentation size
  cv::resize(drawSlide(7), screen, cv::Size(640, 480));
  cv::Mat grey, featureImage, voteRow;
  cv::Mat features(featureCount, binCount, CV_32FC1);
  cv::cvtColor(screen, grey, cv::COLOR_BGR2GRAY);
  std::vector<cv::Mat> work(repeats);
  for (cv::Mat& w : work) w = grey.clone();
  start = cpuMilliseconds();
  for (int i = 0; i < repeats; ++i) featureImagePrepare(work[i], featureImage, settings);
  const double prepareFrameMs = (cpuMilliseconds() - start) / repeats;
  start = cpuMilliseconds();
  for (int i = 0; i < repeats; ++i) featureImagePrepareKeepingSource(grey, featureImage, settings);
  const double keepingFrameMs = (cpuMilliseconds() - start) / repeats;
  start = cpuMilliseconds();
  for (int i = 0; i < repeats; ++i)
    zorGllfGradDistExtract(extractor.get(), featureImage, &features);
  const double extractFrameMs = (cpuMilliseconds() - start) / repeats;

  int index = -1;
  start = cpuMilliseconds();
  for (int i = 0; i < repeats; ++i) index = slideMatchScore(*library, features, nullptr, voteRow);
  const double scoreMs = (cpuMilliseconds() - start) / repeats;

  std::printf("originals %d, featureCount %d, bins %d (CPU time)\n", originals, featureCount,
              binCount);
  std::printf("library build (1024x768 PNG originals): %.1f ms total, %.2f ms per original\n",
              buildMs, buildMs / originals);
  std::printf("  of which PNG decode %.1f ms, preparation %.1f ms, extraction %.1f ms\n", decodeMs,
              prepareMs, extractLibMs);
  std::printf("frame preparation + extraction: %.3f ms per frame (%.3f + %.3f)\n",
              prepareFrameMs + extractFrameMs, prepareFrameMs, extractFrameMs);
  std::printf("frame preparation keeping the grey source: %.3f ms per frame\n", keepingFrameMs);
  std::printf("slideMatchScore: %.3f ms per frame (best original %d)\n", scoreMs, index);
  std::printf("matching per frame in all: %.3f ms\n", prepareFrameMs + extractFrameMs + scoreMs);
  return 0;
}
