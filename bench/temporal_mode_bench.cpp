// Time of one per-element mode over a 640x480 colour window, fast path against a plain
// per-element 256-bin histogram; and of one detector step on a 640x480 frame.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "slides/slide_detector.h"
#include "slides/temporal_mode.h"

using namespace slidetrack;

namespace {

void referenceMode(const std::vector<cv::Mat>& ring, int count, cv::Mat& dst) {
  dst.create(ring[0].size(), ring[0].type());
  const size_t total = dst.total() * dst.channels();
  for (size_t e = 0; e < total; ++e) {
    int hist[256] = {};
    for (int k = 0; k < count; ++k) ++hist[ring[k].data[e]];
    int best = 0;
    for (int v = 0; v < 256; ++v)
      if (hist[v] >= hist[best]) best = v;
    dst.data[e] = static_cast<uchar>(best);
  }
}

template <typename F>
double medianMs(int repeats, F&& run) {
  std::vector<double> ms;
  for (int r = 0; r < repeats; ++r) {
    const auto t0 = std::chrono::steady_clock::now();
    run();
    ms.push_back(
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
  }
  std::sort(ms.begin(), ms.end());
  return ms[ms.size() / 2];
}

}  // namespace

int main() {
  const int ringLength = 255;
  cv::RNG rng(1);
  std::vector<cv::Mat> ring(ringLength);
  for (cv::Mat& m : ring) {
    m.create(480, 640, CV_8UC3);
    rng.fill(m, cv::RNG::UNIFORM, 0, 8);  // few values: many repeats and ties
  }
  std::printf("per-element mode, 640x480x3, median of repeats\n");
  for (int n : {2, 5, 10, 16, 30, 255}) {
    cv::Mat fast, slow;
    const double fastMs = medianMs(9, [&] { temporalMode(ring, ringLength, fast, 0, n); });
    const double slowMs = medianMs(n > 30 ? 1 : 3, [&] { referenceMode(ring, n, slow); });
    const bool agree = cv::norm(fast, slow, cv::NORM_INF) == 0;
    std::printf("n = %3d: fast %8.2f ms, reference %8.2f ms, x%.0f%s\n", n, fastMs, slowMs,
                slowMs / fastMs, agree ? "" : "  MISMATCH");
  }

  // A steady slide: every step takes the no-change path (reference over the edge maps).
  std::unique_ptr<SlideChangeDetector> det = slideDetCreate(nullptr, 120, 160, 10, 0.01f, 0.3f);
  cv::Mat frame(480, 640, CV_8UC3, cv::Scalar(230, 230, 230));
  for (int y = 60; y < 460; y += 40)
    cv::rectangle(frame, cv::Rect(40, y, 500, 12), cv::Scalar(30, 30, 30), -1);
  slideDetProcess(det.get(), frame, nullptr);
  const double stepMs = medianMs(51, [&] { slideDetProcess(det.get(), frame, nullptr); });
  while (det->pos != det->slideStart) slideDetProcess(det.get(), frame, nullptr);  // full window
  const double pictureMs = medianMs(9, [&] { slideDetSlideImage(det.get()); });
  std::printf("detector step, ring 10, no change: %.2f ms; slide picture over the ring: %.2f ms\n",
              stepMs, pictureMs);
  return 0;
}
