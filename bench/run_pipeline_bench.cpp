// Costs of whole headless runs on a long lecture clip, each against its baseline,
// measured side by side in one program run:
//   video-source stepping vs ffmpeg's single-threaded decode,
//   a run with known corners vs the stepping alone (and its peak memory),
//   a first run (corner search) vs a second run (corners known),
//   a run matching 40 originals vs the same run without them, and one saving its pictures too,
//   building the library of 40 originals (PNG, then JPEG) vs decoding 10 s of the clip.
// Usage: see kUsage below.

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <opencv2/core/utility.hpp>
#include <opencv2/imgcodecs.hpp>

#include "app/heap_policy.h"
#include "app/matching_stage.h"
#include "bench_clip.h"
#include "bench_util.h"
#include "features/feature_options.h"
#include "features/grad_dist.h"
#include "lecture_scene.h"
#include "matching/original_library.h"
#include "results/results_xml.h"
#include "video/video_source.h"

using namespace slidetrack;

namespace fs = std::filesystem;

namespace {

const char kUsage[] =
    "Usage: run_pipeline_bench [--seconds N] [--originals N] [--repeat ROUNDS] [--dir DIR]\n"
    "                          [--bin SLIDETRACK]   (another build of the program, to compare)\n"
    "                          [--base SLIDETRACK]  (an earlier build: its runs, with and\n"
    "                                                without originals, timed in the same rounds)\n"
    "                          [--only NAME,...]    (some measurements: ffmpeg, stepping, "
    "stepper,\n"
    "                                                run, pictures, shortRun, shortStepper,\n"
    "                                                firstRun, secondRun, firstVaried,\n"
    "                                                secondVaried, matched, matchedJpeg,\n"
    "                                                shortMatched, matchedPictures, baseRun,\n"
    "                                                baseMatched, baseMatchedPictures,\n"
    "                                                baseShortRun, baseShortMatched, library,\n"
    "                                                jpegLibrary)\n";

struct Args {
  int seconds = 120;
  int originals = 40;
  int repeat = 3;
  fs::path dir = fs::temp_directory_path() / "slidetrack-bench";
  std::string bin;  // the program timed; the one built beside this bench when empty
  std::string base;
  std::string only;
};

// Slides every 6 s, or for as long as a speaker keeps them up: 3 to 11 s.
LectureScene benchLecture(int seconds, int originals, bool varied = false) {
  LectureScene scene;
  scene.screenCorners = {{{300, 110}, {985, 130}, {965, 640}, {315, 620}}};
  scene.occluder = true;
  scene.noiseSigma = 3.0;
  const int spoken[] = {4, 9, 5, 11, 7, 3, 8, 6, 10, 5};
  for (int f = 0, i = 0; f < seconds * 25; ++i) {
    const int perSlide = 25 * (varied ? spoken[i % 10] : 6);
    scene.schedule.push_back({(i * 7) % originals, std::min(perSlide, seconds * 25 - f)});
    f += perSlide;
  }
  return scene;
}

void writeConfig(const fs::path& path, const LectureScene* withCorners) {
  cv::FileStorage fs(path.string(), cv::FileStorage::WRITE);
  fs << "Presentation"
     << "{";
  if (withCorners) {
    cv::Mat points(1, 4, CV_32FC2);
    for (int i = 0; i < 4; ++i)
      points.at<cv::Vec2f>(i) = {withCorners->screenCorners[i].x, withCorners->screenCorners[i].y};
    fs << "boardPoints" << points;
  }
  fs << "}";
}

double stepVideoSource(const std::string& clip, int step) {
  return cpuSecondsOf([&] {
    std::unique_ptr<VideoSource> video = videoSourceCreate();
    videoSourceOpen(*video, clip);
    const int count = videoSourceFrameCount(video.get());
    for (int t = 0; t < count; t += step)
      if (!videoSourceGetFrame(video.get(), t)) break;
  });
}

ProcessCost buildLibrary(const SlideList& originals) {
  const FeatureOptions features;
  MatchingStage stage;
  matchingStageInit(stage, features, MatcherOptions());
  bool aborted = false;
  std::unique_ptr<OriginalSlideLibrary> library;
  ProcessCost cost = costOf([&] {
    library = originalLibraryBuild(&originals, stage.extractor.get(), features, {}, &aborted);
  });
  if (!library) cost.seconds = cost.wall = -1;
  return cost;
}

fs::path ensureClip(const fs::path& dir, int seconds, int originals, bool varied = false) {
  const fs::path clip =
      dir / ("lecture_" + std::to_string(seconds) + (varied ? "s_varied.mp4" : "s.mp4"));
  return benchClipMake(benchLecture(seconds, originals, varied), clip, seconds);
}

}  // namespace

int main(int argc, char** argv) {
  // The library rows build the library in this process: under the program's heap policy.
  slidetrack::heapKeepLargeBlocks();
  Args args;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--help" || a == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    }
  }
  // An option without its value, or one not known, would run the whole bench unasked.
  if (argc % 2 == 0) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string a = argv[i];
    if (a == "--seconds")
      args.seconds = std::atoi(argv[i + 1]);
    else if (a == "--originals")
      args.originals = std::atoi(argv[i + 1]);
    else if (a == "--repeat")
      args.repeat = std::atoi(argv[i + 1]);
    else if (a == "--dir")
      args.dir = argv[i + 1];
    else if (a == "--bin")
      args.bin = argv[i + 1];
    else if (a == "--base")
      args.base = argv[i + 1];
    else if (a == "--only")
      args.only = argv[i + 1];
    else {
      std::fprintf(stderr, "unknown option %s\n%s", a.c_str(), kUsage);
      return 2;
    }
  }
  fs::create_directories(args.dir);
  cv::setNumThreads(1);  // as the run does: the library is timed in this process
  const LectureScene scene = benchLecture(args.seconds, args.originals);
  const fs::path clip = ensureClip(args.dir, args.seconds, args.originals);
  // A short clip of the same lecture: the difference of the two costs is the cost of the
  // frames alone, without the start-up of either program.
  const int shortSeconds = std::max(1, args.seconds / 6);
  Rounds rounds;
  rounds.select(args.only);
  const bool short_ = rounds.wanted("shortRun") || rounds.wanted("shortStepper") ||
                      rounds.wanted("shortMatched") || rounds.wanted("baseShortRun") ||
                      rounds.wanted("baseShortMatched");
  const fs::path shortClip = short_ ? ensureClip(args.dir, shortSeconds, args.originals) : clip;
  // Ten samples 6 s apart each fall two frames before a slide change, where x264 puts a
  // keyframe: the worst case for the search. Varied slide lengths show the usual case.
  const bool varied = rounds.wanted("firstVaried") || rounds.wanted("secondVaried");
  const fs::path variedClip =
      varied ? ensureClip(args.dir, args.seconds, args.originals, true) : clip;
  if (clip.empty() || shortClip.empty() || variedClip.empty()) return 1;
  // Slides are exported as PNG or as JPEG; the library is timed for both.
  auto list = slideListCreate(nullptr, nullptr), jpegList = slideListCreate(nullptr, nullptr);
  for (int k = 0; k < args.originals; ++k) {
    const fs::path png = args.dir / ("original_" + std::to_string(k) + ".png");
    const fs::path jpeg = args.dir / ("original_" + std::to_string(k) + ".jpg");
    if (!fs::exists(png) || !fs::exists(jpeg)) {
      const cv::Mat slide = drawSlide(k, {1024, 768});
      cv::imwrite(png.string(), slide);
      cv::imwrite(jpeg.string(), slide, {cv::IMWRITE_JPEG_QUALITY, 90});
    }
    list->slides.push_back(slideRecordMake(k, png.c_str(), 0, 0, 0.0));
    jpegList->slides.push_back(slideRecordMake(k, jpeg.c_str(), 0, 0, 0.0));
  }
  const fs::path originalsXml = args.dir / "originals.xml";
  const fs::path jpegOriginalsXml = args.dir / "originals_jpeg.xml";
  slidesSaveToXml(*list, originalsXml.string());
  slidesSaveToXml(*jpegList, jpegOriginalsXml.string());
  const fs::path known = args.dir / "known.cfg.xml", unknown = args.dir / "unknown.cfg.xml";
  const fs::path out = args.dir / "out.xml";
  const std::string bin = args.bin.empty() ? SLIDETRACK_BIN : args.bin;

  // Every figure is measured once per round, all of them side by side, and each ratio is
  // the median of its per-round ratios: a neighbour's burst then spoils one round of both
  // sides instead of one side only.
  const std::string stepper = (fs::path(argv[0]).parent_path() / "video_step_bench").string();
  long runRss = 0, firstRss = 0;
  writeConfig(known, &scene);
  auto run = [&](const fs::path& video, const fs::path& config,
                 std::vector<std::string> extra = {}) {
    std::vector<std::string> argv = {bin,  "-i",         video.string(), "-c", config.string(),
                                     "-o", out.string(), "-hide"};
    argv.insert(argv.end(), extra.begin(), extra.end());
    const ProcessCost c = runProcess(argv);
    if (video == clip && config == known && extra.empty()) runRss = std::max(runRss, c.maxRssKb);
    if (video == clip && config == unknown) firstRss = std::max(firstRss, c.maxRssKb);
    return c;
  };
  auto cpu = [&](const fs::path& video, const fs::path& config,
                 std::vector<std::string> extra = {}) {
    return run(video, config, std::move(extra)).seconds;
  };
  rounds.addTimed("ffmpeg", [&] {
    return runProcess(
        {"ffmpeg", "-nostdin", "-threads", "1", "-i", clip.string(), "-f", "null", "-"});
  });
  rounds.add("stepping", [&] { return stepVideoSource(clip.string(), 25); });
  rounds.add("stepper", [&] { return runProcess({stepper, clip.string(), "25"}).seconds; });
  rounds.addTimed("run", [&] { return run(clip, known); });
  rounds.add("pictures", [&] {
    fs::remove_all(args.dir / "pictures");
    return cpu(clip, known, {"-p", (args.dir / "pictures").string() + "/"});
  });
  rounds.add("shortRun", [&] { return cpu(shortClip, known); });
  rounds.add("shortStepper", [&] {
    return runProcess({stepper, shortClip.string(), "25"}).seconds;
  });
  rounds.add("firstRun", [&] {
    writeConfig(unknown, nullptr);
    return cpu(clip, unknown);
  });
  rounds.add("secondRun", [&] { return cpu(clip, unknown); });
  rounds.add("firstVaried", [&] {
    writeConfig(unknown, nullptr);
    return cpu(variedClip, unknown);
  });
  rounds.add("secondVaried", [&] { return cpu(variedClip, unknown); });
  rounds.addTimed("matched", [&] { return run(clip, known, {"-s", originalsXml.string()}); });
  rounds.addTimed("matchedJpeg", [&] {
    return run(clip, known, {"-s", jpegOriginalsXml.string()});
  });
  // The library inside the program, where the video's decoding came first: the short
  // run with -s less the one without (which also matches the short clip's few frames).
  rounds.add("shortMatched", [&] { return cpu(shortClip, known, {"-s", originalsXml.string()}); });
  // Only a run that matches and saves pictures fills them from the originals.
  const std::string pictures = (args.dir / "pictures").string() + "/";
  rounds.add("matchedPictures", [&] {
    fs::remove_all(args.dir / "pictures");
    return cpu(clip, known, {"-s", originalsXml.string(), "-p", pictures});
  });
  if (!args.base.empty()) {
    const auto baseRunOf = [&](std::vector<std::string> extra, const fs::path& video) {
      std::vector<std::string> argv = {args.base,      "-i", video.string(), "-c",
                                       known.string(), "-o", out.string(),   "-hide"};
      argv.insert(argv.end(), extra.begin(), extra.end());
      return runProcess(argv);
    };
    const auto baseRun = [&](std::vector<std::string> extra) { return baseRunOf(extra, clip); };
    rounds.addTimed("baseRun", [&] { return baseRun({}); });
    rounds.addTimed("baseMatched", [&] { return baseRun({"-s", originalsXml.string()}); });
    rounds.add("baseMatchedPictures", [&] {
      fs::remove_all(args.dir / "pictures");
      return baseRun({"-s", originalsXml.string(), "-p", pictures}).seconds;
    });
    // The earlier build's library inside the program, as for this build.
    rounds.add("baseShortRun", [&] { return baseRunOf({}, shortClip).seconds; });
    rounds.add("baseShortMatched", [&] {
      return baseRunOf({"-s", originalsXml.string()}, shortClip).seconds;
    });
  }
  rounds.addTimed("library", [&] { return buildLibrary(*list); });
  rounds.addTimed("jpegLibrary", [&] { return buildLibrary(*jpegList); });
  rounds.measure(args.repeat);

  std::printf("\nclip: %s (%d s, 1280x720, H.264), CPU time, median of %d rounds\n", clip.c_str(),
              args.seconds, args.repeat);
  if (rounds.has("ffmpeg"))
    std::printf("%-60s %8.3f s\n", "ffmpeg -threads 1 -i CLIP -f null -", rounds.median("ffmpeg"));
  rounds.print("video source stepping by 25 / ffmpeg decode", "stepping", "ffmpeg", "<= 0.80");
  rounds.print("video source stepping as a program of its own / ffmpeg", "stepper", "ffmpeg",
               "<= 0.80");
  rounds.print("headless run, corners known / stepping program", "run", "stepper", "<= 1.15");
  rounds.print("headless run, corners known / stepping in-process", "run", "stepping", "<= 1.15");
  char label[96];
  std::snprintf(label, sizeof label, "  the same for the frames alone (%d s minus %d s clip)",
                args.seconds, shortSeconds);
  rounds.printDifference(label, "run", "shortRun", "stepper", "shortStepper", "<= 1.15");
  rounds.print("  the same run saving the slide pictures (-p)", "pictures", "stepper", "-");
  if (runRss > 0)
    std::printf("%-60s %8.1f MB  (target < 150 MB)\n", "peak memory of that run", runRss / 1024.0);
  rounds.print("first run (corner search) / second run (corners known)", "firstRun", "secondRun",
               "<= 1.25");
  rounds.print("  the same on a clip with slides of 3 to 11 s", "firstVaried", "secondVaried",
               "<= 1.25");
  if (firstRss > 0)
    std::printf("%-60s %8.1f MB  (target -)\n", "peak memory of the first run", firstRss / 1024.0);
  std::snprintf(label, sizeof label, "run with -s (%d PNG originals) / run without -s",
                args.originals);
  rounds.print(label, "matched", "run", "<= 1.15");
  rounds.print("  the same with JPEG originals", "matchedJpeg", "run", "<= 1.15");
  // The library's originals are read on two threads: what the user waits for is wall time.
  rounds.print("  the same in wall time, PNG originals", "matchedWall", "runWall", "-");
  rounds.print("  the same in wall time, JPEG originals", "matchedJpegWall", "runWall", "-");
  rounds.print("run with -s saving the pictures (-p) / run with -s", "matchedPictures", "matched",
               "-");
  if (rounds.has("baseRun")) {
    std::printf("the same rows for the earlier build %s\n", args.base.c_str());
    rounds.print("  headless run, corners known / stepping program", "baseRun", "stepper",
                 "<= 1.15");
    rounds.print("  run with -s / run without -s", "baseMatched", "baseRun", "<= 1.15");
    rounds.print("  the same in wall time", "baseMatchedWall", "baseRunWall", "-");
    rounds.print("  run with -s saving the pictures (-p) / run with -s", "baseMatchedPictures",
                 "baseMatched", "-");
    rounds.print("this build's run with -s -p / the earlier build's", "matchedPictures",
                 "baseMatchedPictures", "-");
  }
  // Ten seconds of the clip's decode: a twelfth of the full decode for a 120 s clip.
  const double tenSeconds = 10.0 / args.seconds;
  std::snprintf(label, sizeof label, "library of %d PNG originals 1024x768 / decoding 10 s",
                args.originals);
  rounds.print(label, "library", "ffmpeg", "<= 1.00", tenSeconds);
  rounds.print("  the same in wall time", "libraryWall", "ffmpegWall", "-", tenSeconds);
  std::snprintf(label, sizeof label, "  the same in the program (%d s run with -s less without)",
                shortSeconds);
  rounds.printDifferenceOver(label, "shortMatched", "shortRun", "ffmpeg", "-", tenSeconds);
  rounds.printDifferenceOver("  the same for the earlier build", "baseShortMatched", "baseShortRun",
                             "ffmpeg", "-", tenSeconds);
  std::snprintf(label, sizeof label, "library of %d JPEG originals 1024x768 / decoding 10 s",
                args.originals);
  rounds.print(label, "jpegLibrary", "ffmpeg", "<= 1.00", tenSeconds);
  rounds.print("  the same in wall time", "jpegLibraryWall", "ffmpegWall", "-", tenSeconds);
  return 0;
}
