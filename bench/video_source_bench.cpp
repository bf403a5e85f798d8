// Times the video source walking a lecture clip in steps of 25, against the ffmpeg
// program decoding every picture on one thread.
//
//   video_source_bench [seconds=60] [step=25] [repeats=3]

#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include "lecture_scene.h"
#include "video/video_source.h"

using namespace slidetrack;

namespace {

double secondsOf(const std::function<void()>& work, int repeats) {
  double best = 1e30;
  for (int i = 0; i < repeats; ++i) {
    const auto start = std::chrono::steady_clock::now();
    work();
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    if (took.count() < best) best = took.count();
  }
  return best;
}

bool exists(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && info.st_size > 0;
}

// Slides that stay up for ten seconds each, sensor noise, a walking speaker.
LectureScene benchScene(int seconds) {
  LectureScene scene;
  scene.occluder = true;
  scene.noiseSigma = 2.0;
  scene.seed = 3;
  for (int left = seconds * 25, slide = 0; left > 0; left -= 250, ++slide) {
    scene.schedule.push_back({slide, left < 250 ? left : 250});
  }
  return scene;
}

// Generating takes a while, so the clip is kept in /tmp under its parameters.
std::string lectureClip(int seconds) {
  const std::string path = "/tmp/slidetrack_bench_lecture_1280x720_25fps_x264_crf23_" +
                           std::to_string(seconds) + "s_seed3.mp4";
  if (exists(path)) return path;
  std::printf("Generating %s ...\n", path.c_str());
  std::fflush(stdout);
  ClipOptions options;  // libx264 with its default B-frames
  std::string error;
  const std::string partial = path + ".part.mp4";
  if (!writeLectureClip(benchScene(seconds), partial, options, &error) ||
      std::rename(partial.c_str(), path.c_str()) != 0) {
    std::fprintf(stderr, "cannot write the clip: %s\n", error.c_str());
    std::exit(1);
  }
  return path;
}

}  // namespace

int main(int argc, char** argv) {
  const int seconds = argc > 1 ? std::atoi(argv[1]) : 60;
  const int step = argc > 2 ? std::atoi(argv[2]) : 25;
  const int repeats = argc > 3 ? std::atoi(argv[3]) : 3;
  if (seconds <= 0 || step <= 0 || repeats <= 0) {
    std::fprintf(stderr, "usage: %s [seconds] [step] [repeats]\n", argv[0]);
    return 2;
  }
  const std::string clip = lectureClip(seconds);

  const std::string command = "ffmpeg -v error -threads 1 -i '" + clip + "' -f null -";
  const double ffmpegSeconds = secondsOf(
      [&] {
        if (std::system(command.c_str()) != 0) std::fprintf(stderr, "ffmpeg failed\n");
      },
      repeats);

  int frames = 0, delivered = 0;
  const double sourceSeconds = secondsOf(
      [&] {
        auto source = videoSourceCreate();
        videoSourceOpen(*source, clip);
        videoSourceImage(source.get());
        frames = videoSourceFrameCount(source.get());
        delivered = 0;
        for (int t = 0; t < frames; t += step) {
          if (!videoSourceGetFrame(source.get(), t)) break;
          ++delivered;
        }
        videoSourceRelease(source);
      },
      repeats);

  // The screen search: ten samples across the middle half, each a far jump forward.
  const int samples = 10;
  VideoSourceStats jumps;
  const double sampleSeconds = secondsOf(
      [&] {
        auto source = videoSourceCreate();
        videoSourceOpen(*source, clip);
        for (int i = 0; i < samples; ++i) {
          videoSourceGetFrame(source.get(), frames / 4 + ((frames / 2) * i) / samples - 2);
        }
        jumps = videoSourceStats(source.get());
        videoSourceRelease(source);
      },
      repeats);

  std::printf("clip: %s (%d frames)\n", clip.c_str(), frames);
  std::printf("(a) %-48s %8.3f s\n", "ffmpeg -threads 1 -i CLIP -f null -", ffmpegSeconds);
  std::printf("(b) video source, step %-3d (%4d pictures delivered) %8.3f s\n", step, delivered,
              sourceSeconds);
  std::printf("ratio (b)/(a): %.3f (target <= 0.8), best of %d\n", sourceSeconds / ffmpegSeconds,
              repeats);
  std::printf(
      "(c) video source, %d samples over the middle half    %8.3f s (%lld pictures "
      "decoded, %lld seeks)\n",
      samples, sampleSeconds, jumps.picturesDecoded, jumps.seeks);
  return 0;
}
