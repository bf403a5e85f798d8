// Steps through a clip with the video source alone, as a program of its own: the baseline
// that a whole run of slidetrack is compared with, start-up included on both sides.
// Usage: video_step_bench CLIP [STEP]

#include <cstdio>
#include <cstdlib>

#include "video/video_source.h"

using namespace slidetrack;

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s CLIP [STEP]\n", argv[0]);
    return 2;
  }
  const int step = argc > 2 ? std::atoi(argv[2]) : 25;
  std::unique_ptr<VideoSource> video = videoSourceCreate();
  if (step < 1) return 1;
  videoSourceOpen(*video, argv[1]);
  const int count = videoSourceFrameCount(video.get());
  int delivered = 0;
  for (int t = 0; t < count; t += step, ++delivered)
    if (!videoSourceGetFrame(video.get(), t)) break;
  std::printf("%d frames delivered\n", delivered);
  return 0;
}
