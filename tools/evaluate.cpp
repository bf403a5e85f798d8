// slidetrack-evaluate: scores a slidetrack run on a lecture from slidetrack-make-lecture and
// prints one key=value line for scripts.

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>

#include "accuracy_metrics.h"
#include "change_visibility.h"
#include "results/results_xml.h"

using namespace slidetrack;

namespace fs = std::filesystem;

namespace {

const char kUsage[] =
    "Usage: slidetrack-evaluate [options] LECTURE_DIR\n"
    "  LECTURE_DIR holds truth.csv and originals.xml from slidetrack-make-lecture\n"
    "  --video PATH       the clip that was analysed (default LECTURE_DIR/lecture.mp4);\n"
    "                     its results are PATH.xml, its configuration PATH.cfg.xml\n"
    "  --results PATH     results file, when not PATH.xml\n"
    "  --config PATH      configuration file, when not PATH.cfg.xml\n"
    "  --fps RATE         frame rate of the clip: 25, 30000/1001, ... (required)\n"
    "  --tolerance S      seconds within which a found change counts (default 2)\n"
    "  --name NAME        scenario name printed first (default the directory name)\n"
    "  --pictures         also print one line per scored slide picture: file, interval,\n"
    "                     true slide, speaker share, the part of it under him in every\n"
    "                     processed frame (hidden), damage\n"
    "  --changes          also print one line per true change: its first picture, the\n"
    "                     slides, the share of pixels that differ between them, the first\n"
    "                     processed frame of the new slide, the first at which 10 % and\n"
    "                     50 % of the difference lie outside the speaker (-1: never while\n"
    "                     it is shown), and the first record start from a processed frame\n"
    "                     before\n";

}  // namespace

int main(int argc, char** argv) {
  std::string dir, video, results, config, name;
  bool pictures = false, changes = false;
  RunFiles files;
  files.fps = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::cout << kUsage;
      return 0;
    }
    if (arg == "--pictures" || arg == "--changes") {
      (arg == "--pictures" ? pictures : changes) = true;
      continue;
    }
    const bool hasValue = i + 1 < argc;
    if (arg.rfind("--", 0) == 0 && !hasValue) {
      std::cerr << "Missing value for " << arg << "\n" << kUsage;
      return 2;
    }
    if (arg == "--video") {
      video = argv[++i];
    } else if (arg == "--results") {
      results = argv[++i];
    } else if (arg == "--config") {
      config = argv[++i];
    } else if (arg == "--name") {
      name = argv[++i];
    } else if (arg == "--fps") {
      files.fps = parseFrameRate(argv[++i]);
      if (files.fps <= 0) {
        std::cerr << "Bad frame rate " << argv[i] << "\n";
        return 2;
      }
    } else if (arg == "--tolerance") {
      files.tolerance = std::strtod(argv[++i], nullptr);
    } else if (arg.rfind("--", 0) == 0 || !dir.empty()) {
      std::cerr << "Unexpected argument " << arg << "\n" << kUsage;
      return 2;
    } else {
      dir = arg;
    }
  }
  if (dir.empty() || files.fps <= 0) {
    std::cerr << kUsage;
    return 2;
  }
  if (video.empty()) video = (fs::path(dir) / "lecture.mp4").string();
  if (name.empty()) {
    fs::path whole = fs::absolute(dir).lexically_normal();
    if (whole.filename().empty()) whole = whole.parent_path();  // "dir/" or "."
    name = whole.filename().string();
  }
  files.truthCsv = (fs::path(dir) / "truth.csv").string();
  files.originalsXml = (fs::path(dir) / "originals.xml").string();
  files.resultsXml = results.empty() ? video + ".xml" : results;
  files.configXml = config.empty() ? video + ".cfg.xml" : config;

  Evaluation evaluation;
  std::string error;
  if (!evaluateRun(files, &evaluation, &error)) {
    std::cerr << "slidetrack-evaluate: " << error << "\n";
    return 1;
  }
  std::cout << formatEvaluation(name, evaluation) << "\n";
  if (pictures)
    for (const PictureScore& p : evaluation.speaker.each)
      std::printf("picture=%s interval=%d-%d slide=%d share=%.4f hidden=%.4f damage=%.4f\n",
                  p.file.c_str(), p.start, p.end, p.slide, p.share, p.hidden, p.damage);
  if (changes) {
    // Never null: a results file without records reads as an empty list.
    const std::unique_ptr<SlideList> run =
        slidesLoadFromXml(std::make_unique<SlideList>(), files.resultsXml.c_str());
    const std::vector<TruthFrame> truth = loadTruthCsv(files.truthCsv, &error);
    for (const ChangeVisibility& c :
         changeVisibility(truth, dir, *run, loadFrameStep(files.configXml)))
      std::printf(
          "change=%d slides=%d>%d area=%.4f first=%d visible10=%d visible50=%d reported=%d\n",
          c.picture, c.from, c.to, c.area, c.first, c.visible10, c.visible50, c.reported);
  }
  return 0;
}
