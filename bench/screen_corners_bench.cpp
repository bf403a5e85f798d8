// Corner errors of the screen search on a generated lecture, without a whole run: prints
// the corners found and, given the generator's truth.csv, the mean and largest distance to
// the projected image's true corners averaged over the clip, and the search's cpu time.
//
//   screen_corners_bench CLIP [truth.csv] [plain]

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "bench_util.h"
#include "screen/presentation_localize.h"
#include "screen/screen_search.h"
#include "video/video_source.h"

using namespace slidetrack;

namespace {

// Mean TL, TR, BR, BL of the projected image over the truth's frames.
bool meanTruth(const std::string& path, cv::Point2f corners[4]) {
  std::ifstream in(path);
  std::string line;
  if (!std::getline(in, line)) return false;
  double sum[8] = {};
  int rows = 0;
  while (std::getline(in, line)) {
    std::stringstream fields(line);
    std::string cell;
    for (int column = 0; std::getline(fields, cell, ',') && column < 10; ++column)
      if (column >= 2) sum[column - 2] += std::stod(cell);
    ++rows;
  }
  if (rows == 0) return false;
  for (int k = 0; k < 4; ++k)
    corners[k] = cv::Point2f(float(sum[2 * k] / rows), float(sum[2 * k + 1] / rows));
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: screen_corners_bench CLIP [truth.csv] [plain]\n");
    return 2;
  }
  ScreenSearchOptions options;
  if (argc > 3) options.boardChoice = argv[3];
  std::unique_ptr<VideoSource> video = videoSourceCreate();
  ScreenSearchResult result;
  const double cpu = cpuSecondsOf([&] {
    videoSourceOpen(*video, argv[1]);
    if (options.plain())
      result.corners = presentationLocalize(video.get(), options, {});
    else
      result = screenSearch(video.get(), options, {});
  });
  std::printf("cpu %.2f s, %s", cpu,
              result.recording         ? "recording"
              : result.corners.empty() ? "not found"
                                       : "corners");
  for (int k = 0; k < 4 && !result.corners.empty(); ++k) {
    const cv::Point2f c = result.corners.at<cv::Point2f>(0, k);
    std::printf(" (%.1f %.1f)", c.x, c.y);
  }
  cv::Point2f truth[4];
  if (argc > 2 && !result.corners.empty() && meanTruth(argv[2], truth)) {
    double sum = 0, worst = 0;
    for (int k = 0; k < 4; ++k) {
      const double e = cv::norm(result.corners.at<cv::Point2f>(0, k) - truth[k]);
      sum += e, worst = std::max(worst, e);
    }
    std::printf(" mean %.2f max %.2f", sum / 4, worst);
  }
  std::printf("\n");
  return 0;
}
