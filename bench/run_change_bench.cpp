// Cost of the slide change decision in a whole headless run with known corners, against
// ffmpeg's single-threaded decode of the same clip, measured side by side in one program run:
//   slidetrack with slideDetMethod robust (the default) / ffmpeg -threads 1 -f null
//   slidetrack with slideDetMethod plain / ffmpeg -threads 1 -f null
//   slidetrack with the robust decision saving slide pictures (-p) / ffmpeg -threads 1 -f null
// Usage: run_change_bench [--clip PATH --corners X,Y,X,Y,X,Y,X,Y] [--seconds N] [--repeat N]
//                         [--dir DIR] [--bin SLIDETRACK]   (another build of the program)
//                         [--base SLIDETRACK]  (an earlier build, timed in the same rounds)
// Without --clip it makes a 1280x720 H.264 lecture with a walking speaker, shake and noise.

#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include <opencv2/core.hpp>

#include "bench_clip.h"
#include "bench_util.h"

namespace fs = std::filesystem;

namespace {

struct Args {
  fs::path clip;
  std::vector<float> corners;  // TL, TR, BR, BL
  int seconds = 120;
  int repeat = 3;
  fs::path dir = fs::temp_directory_path() / "slidetrack-bench";
  std::string bin = SLIDETRACK_BIN;
  std::string base;
};

std::vector<float> parseCorners(const std::string& text) {
  std::vector<float> values;
  std::stringstream in(text);
  for (std::string item; std::getline(in, item, ',');) values.push_back(std::stof(item));
  return values.size() == 8 ? values : std::vector<float>();
}

void writeConfig(const fs::path& path, const std::vector<float>& corners, const char* method) {
  cv::FileStorage fs(path.string(), cv::FileStorage::WRITE);
  cv::Mat points(1, 4, CV_32FC2);
  for (int i = 0; i < 4; ++i) points.at<cv::Vec2f>(i) = {corners[2 * i], corners[2 * i + 1]};
  fs << "Presentation"
     << "{"
     << "boardPoints" << points << "}";
  fs << "SlideDetection"
     << "{"
     << "slideDetMethod" << method << "}";
}

fs::path makeClip(const Args& args, std::vector<float>& corners) {
  LectureScene scene;
  scene.screenCorners = {{{300, 110}, {985, 130}, {965, 640}, {315, 620}}};
  scene.occluder = true;
  scene.noiseSigma = 3.0;
  scene.shakePixels = 1.0;
  for (int f = 0, i = 0; f < args.seconds * 25; ++i, f += 150)
    scene.schedule.push_back({i % 20, std::min(150, args.seconds * 25 - f)});
  for (const cv::Point2f& c : scene.screenCorners) corners.insert(corners.end(), {c.x, c.y});
  return benchClipMake(scene, args.dir / ("change_" + std::to_string(args.seconds) + "s.mp4"),
                       args.seconds);
}

}  // namespace

int main(int argc, char** argv) {
  Args args;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string a = argv[i];
    if (a == "--clip")
      args.clip = argv[i + 1];
    else if (a == "--corners")
      args.corners = parseCorners(argv[i + 1]);
    else if (a == "--seconds")
      args.seconds = std::atoi(argv[i + 1]);
    else if (a == "--repeat")
      args.repeat = std::atoi(argv[i + 1]);
    else if (a == "--dir")
      args.dir = argv[i + 1];
    else if (a == "--bin")
      args.bin = argv[i + 1];
    else if (a == "--base")
      args.base = argv[i + 1];
  }
  fs::create_directories(args.dir);
  if (args.clip.empty()) {
    args.corners.clear();
    args.clip = makeClip(args, args.corners);
  }
  if (args.clip.empty() || args.corners.size() != 8) {
    std::fprintf(stderr, "usage: run_change_bench [--clip PATH --corners X,Y,...(8)] ...\n");
    return 1;
  }
  const fs::path robustConfig = args.dir / "change_robust.cfg.xml";
  const fs::path plainConfig = args.dir / "change_plain.cfg.xml";
  const fs::path results = args.dir / "change_results.xml";
  writeConfig(robustConfig, args.corners, "robust");
  writeConfig(plainConfig, args.corners, "plain");
  const fs::path pictures = args.dir / "change_pictures";
  auto run = [&](const fs::path& config, bool savePictures = false, bool base = false) {
    std::vector<std::string> command{base ? args.base : args.bin,
                                     "-i",
                                     args.clip.string(),
                                     "-c",
                                     config.string(),
                                     "-o",
                                     results.string(),
                                     "-hide"};
    if (savePictures) {
      fs::remove_all(pictures);
      fs::create_directories(pictures);
      command.insert(command.end(), {"-p", pictures.string() + "/"});
    }
    return runProcess(command).seconds;
  };
  Rounds rounds;
  rounds.add("ffmpeg", [&] {
    return runProcess(
               {"ffmpeg", "-nostdin", "-threads", "1", "-i", args.clip.string(), "-f", "null", "-"})
        .seconds;
  });
  rounds.add("robust", [&] { return run(robustConfig); });
  rounds.add("plain", [&] { return run(plainConfig); });
  // Saving the slide pictures adds the picture's own speaker search and fill.
  rounds.add("pictures", [&] { return run(robustConfig, true); });
  if (!args.base.empty()) {
    rounds.add("baseRobust", [&] { return run(robustConfig, false, true); });
    rounds.add("basePlain", [&] { return run(plainConfig, false, true); });
    rounds.add("basePictures", [&] { return run(robustConfig, true, true); });
  }
  rounds.measure(args.repeat);
  std::printf("\nclip: %s, CPU time, median of %d rounds\n", args.clip.c_str(), args.repeat);
  rounds.print("known corners, robust change decision / ffmpeg -threads 1", "robust", "ffmpeg",
               "<= 0.8");
  rounds.print("known corners, plain edge-map rule / ffmpeg -threads 1", "plain", "ffmpeg", "-");
  rounds.print("known corners, robust, slide pictures saved / ffmpeg -threads 1", "pictures",
               "ffmpeg", "-");
  if (!args.base.empty()) {
    std::printf("the same rows for the earlier build %s\n", args.base.c_str());
    rounds.print("  robust / ffmpeg", "baseRobust", "ffmpeg", "<= 0.8");
    rounds.print("  plain / ffmpeg", "basePlain", "ffmpeg", "-");
    rounds.print("  robust, slide pictures saved / ffmpeg", "basePictures", "ffmpeg", "-");
  }
  return 0;
}
