// Splits the cost of the first run's screen search into reaching the sample frames and
// detecting the board in them; prints each sample's score and corners, so two builds can
// be compared line by line.
//
//   screen_search_bench CLIP [samples=10] [repeats=3]

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <opencv2/imgproc.hpp>

#include "bench_util.h"
#include "screen/board_detector.h"
#include "screen/presentation_localize.h"
#include "video/video_source.h"

using namespace slidetrack;

namespace {

long minorFaults() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_minflt;
}

struct Reach {
  double open = 0;  // opening the clip, part of cpu
  double cpu = 0;
  long faults = 0;  // minor page faults, opening included
  VideoSourceStats stats;
  std::vector<cv::Mat> greys;
};

// Opens the clip and fetches the samples as the search does (without the detector).
Reach reachSamples(const std::string& clip, int samples) {
  Reach reach;
  std::unique_ptr<VideoSource> video = videoSourceCreate();
  const long faults = minorFaults();
  reach.cpu = cpuSecondsOf([&] {
    reach.open = cpuSecondsOf([&] { videoSourceOpen(*video, clip); });
    if (!videoSourceIsOpen(video.get())) return;
    const int frames = videoSourceFrameCount(video.get());
    const VideoSourceStats opened = videoSourceStats(video.get());
    cv::Mat colour, grey;
    for (int i = 0; i < samples; ++i) {
      const cv::Mat* frame =
          videoSourceGetFrame(video.get(), localizeSamplePosition(frames, i, samples));
      if (!frame) break;
      cv::cvtColor(*frame, colour, cv::COLOR_BGRA2BGR);
      cv::cvtColor(colour, grey, cv::COLOR_RGB2GRAY);
      reach.greys.push_back(grey.clone());
    }
    const VideoSourceStats after = videoSourceStats(video.get());
    reach.stats.packetsDecoded = after.packetsDecoded - opened.packetsDecoded;
    reach.stats.picturesDecoded = after.picturesDecoded - opened.picturesDecoded;
    reach.stats.seeks = after.seeks - opened.seeks;
  });
  reach.faults = minorFaults() - faults;
  return reach;
}

}  // namespace

int main(int argc, char** argv) {
  cv::setNumThreads(1);  // as the run does
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s CLIP [samples=10] [repeats=3]\n", argv[0]);
    return 2;
  }
  const std::string clip = argv[1];
  const int samples = argc > 2 ? std::atoi(argv[2]) : 10;
  const int repeats = argc > 3 ? std::atoi(argv[3]) : 3;
  if (samples <= 0 || repeats <= 0) return 2;

  Reach reach;
  const double reachCpu = fastestOf(repeats, [&] {
    reach = reachSamples(clip, samples);
    return reach.cpu;
  });
  if (reach.greys.empty()) {
    std::fprintf(stderr, "no samples from %s\n", clip.c_str());
    return 1;
  }

  std::vector<float> scores(reach.greys.size());
  std::vector<std::vector<cv::Point2f>> corners(reach.greys.size(), std::vector<cv::Point2f>(4));
  long detectFaults = 0;
  BoardWorkspace work;  // as the search keeps one
  const double detectCpu = fastestOf(repeats, [&] {
    const long faults = minorFaults();
    const double cpu = cpuSecondsOf([&] {
      for (size_t i = 0; i < reach.greys.size(); ++i)
        scores[i] = boardDetect(reach.greys[i], corners[i].data(), 120, 150, work);
    });
    detectFaults = minorFaults() - faults;
    return cpu;
  });

  for (size_t i = 0; i < reach.greys.size(); ++i) {
    std::printf("sample %zu score %.9g corners", i, scores[i]);
    for (const cv::Point2f& c : corners[i]) std::printf(" (%.9g, %.9g)", c.x, c.y);
    std::printf("\n");
  }
  std::printf("open the clip: %8.3f s cpu\n", reach.open);
  std::printf(
      "open and reach %zu samples: %8.3f s cpu, %lld packets decoded, %lld pictures, "
      "%lld seeks, %ld page faults\n",
      reach.greys.size(), reachCpu, reach.stats.packetsDecoded, reach.stats.picturesDecoded,
      reach.stats.seeks, reach.faults);
  std::printf("detect in %zu samples: %8.3f s cpu, %ld page faults\n", reach.greys.size(),
              detectCpu, detectFaults);
  return 0;
}
