#pragma once
// Runs the built slidetrack binary on generated inputs and collects what it printed.

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>

#include "app/pipeline.h"
#include "lecture_scene.h"
#include "results/results_xml.h"
#include "scratch.h"

struct RunResult {
  int status = -1;
  std::string out;
  std::string err;
};

inline std::string shellQuote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

const char* const kHeadless = "env -u DISPLAY -u WAYLAND_DISPLAY";
// A run that hangs is killed, so that it fails instead of stalling the suite.
const std::string kBounded = std::string("timeout 60 ") + kHeadless;

// Runs the binary in dir behind a command prefix that sets up its environment.
inline RunResult runSlidetrack(const fs::path& dir, const std::vector<std::string>& args,
                               const std::string& prefix = kHeadless) {
  std::string command =
      "cd " + shellQuote(dir.string()) + " && " + prefix + " " + shellQuote(SLIDETRACK_BIN);
  for (const std::string& a : args) command += " " + shellQuote(a);
  command += " >" + shellQuote((dir / "run.out").string()) + " 2>" +
             shellQuote((dir / "run.err").string()) + " </dev/null";
  const int raw = std::system(command.c_str());
  RunResult result;
  result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  result.out = readFile(dir / "run.out");
  result.err = readFile(dir / "run.err");
  return result;
}

inline size_t countOf(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

// A fresh, empty directory for one test.
inline fs::path freshDir(const std::string& name) {
  fs::path dir =
      fs::temp_directory_path() / ("slidetrack_" + name + "_" + std::to_string(getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

// Each test works in its own directory, kept when the test fails so its files can be seen.
class RunTest : public ::testing::Test {
 protected:
  void TearDown() override {
    if (!HasFailure()) fs::remove_all(dir_);
  }
  const fs::path dir_ = freshDir(::testing::UnitTest::GetInstance()->current_test_info()->name());
};

// A run over one clip the test encodes itself, in H.264 as cameras give it.
class ClipRunTest : public RunTest {
 protected:
  void encode(cv::Size size, int frames, const std::function<cv::Mat(int)>& frameAt) {
    std::string error;
    ASSERT_TRUE(writeClip(clip_, {"libx264", size.width, size.height}, frames, frameAt, &error))
        << error;
  }
  const std::string clip_ = (dir_ / "talk.mp4").string();
};

// Writes a configuration that holds the given corners (and optional extra settings).
inline void writeConfig(const fs::path& path, const std::vector<cv::Point2f>& corners,
                        int slideFrameStep = 25, int presentDetCount = 10,
                        const std::vector<std::pair<const char*, double>>& localFeatures = {}) {
  cv::FileStorage fs(path.string(), cv::FileStorage::WRITE);
  fs << "Presentation"
     << "{";
  fs << "presentDetCount" << presentDetCount;
  if (!corners.empty()) {
    cv::Mat points(1, 4, CV_32FC2);
    for (int i = 0; i < 4; ++i) points.at<cv::Vec2f>(i) = {corners[i].x, corners[i].y};
    fs << "boardPoints" << points;
  }
  fs << "}";
  fs << "SlideDetection"
     << "{"
     << "slideFrameStep" << slideFrameStep << "}";
  fs << "LocalFeatures"
     << "{";
  for (const auto& [key, value] : localFeatures) fs << key << value;
  fs << "}";
}

// Saves the pages as dir/o<k>.png and lists the first `listed` of them, ids from firstId on,
// in dir/originals.xml; the pages' paths.
inline std::vector<std::string> writeOriginals(const fs::path& dir,
                                               const std::vector<cv::Mat>& pages, int firstId = 0,
                                               size_t listed = SIZE_MAX) {
  auto originals = slidetrack::slideListCreate(nullptr, nullptr);
  std::vector<std::string> paths;
  for (size_t k = 0; k < pages.size(); ++k) {
    paths.push_back((dir / ("o" + std::to_string(k) + ".png")).string());
    EXPECT_TRUE(cv::imwrite(paths.back(), pages[k]));
    if (k < listed)
      originals->slides.push_back(
          slidetrack::slideRecordMake(firstId + int(k), paths.back().c_str(), 0, 0, 0.0));
  }
  EXPECT_NO_THROW(slidetrack::slidesSaveToXml(*originals, (dir / "originals.xml").string()));
  return paths;
}

inline std::vector<cv::Point2f> cornersOf(const LectureScene& scene) {
  return {scene.screenCorners.begin(), scene.screenCorners.end()};
}

// Encodes the scene at its own frame size.
inline void writeSceneClip(const LectureScene& scene, const fs::path& path,
                           ClipOptions options = {}) {
  options.width = scene.frameSize.width;
  options.height = scene.frameSize.height;
  std::string error;
  ASSERT_TRUE(writeLectureClip(scene, path.string(), options, &error)) << error;
}

// The screen of the short two-slide talk the run tests share.
const std::vector<cv::Point2f> kTalkCorners = {{150, 60}, {500, 70}, {490, 310}, {160, 300}};

// A 640x360 camera view of that screen.
inline LectureScene talkScene() {
  LectureScene scene;
  scene.frameSize = {640, 360};
  std::copy(kTalkCorners.begin(), kTalkCorners.end(), scene.screenCorners.begin());
  return scene;
}

// Two slides, 60 and 70 frames, on that view.
inline void writeTwoSlideTalk(const fs::path& path) {
  LectureScene scene = talkScene();
  scene.schedule = {{0, 60}, {1, 70}};
  writeSceneClip(scene, path);
}

// A whole run of the pipeline on stored corners, told to the observer.
inline void runPipeline(const slidetrack::PresentationSettings& settings,
                        slidetrack::RunInput input, const std::vector<cv::Point2f>& corners,
                        slidetrack::RunObserver& observer) {
  slidetrack::Pipeline pipeline(settings, std::move(input));
  pipeline.addObserver(observer);
  pipeline.openVideo();
  const cv::Mat stored(1, 4, CV_32FC2, const_cast<cv::Point2f*>(corners.data()));
  const cv::Mat located = pipeline.locateScreen(stored);
  EXPECT_EQ(cv::norm(located, stored), 0) << "stored corners are kept";
  EXPECT_EQ(pipeline.run(located), slidetrack::RunEnd::kCompleted);
}

// "start:original " per record of a run, "-" for no match.
struct RecordsObserver : slidetrack::RunObserver {
  void runFinished(const slidetrack::SlideList& slides) override {
    for (const slidetrack::SlideRecord& r : slides.slides)
      records +=
          std::to_string(r.start) + ":" + (r.match ? std::to_string(r.match->id) : "-") + " ";
  }
  std::string records;
};

// Each ended record's start, picture and whether it has a match.
struct PicturesObserver : slidetrack::RunObserver {
  bool needsSlidePictures() const override { return true; }
  void slideEnded(const slidetrack::SlideRecord& record, const cv::Mat& picture) override {
    starts.push_back(record.start);
    pictures.push_back(picture.clone());
    matched.push_back(record.match != nullptr);
  }
  std::vector<int> starts;
  std::vector<cv::Mat> pictures;
  std::vector<bool> matched;
};

// Runs on the two-slide talk as talk.mp4, headless, killed if they hang.
class TalkRunTest : public RunTest {
 protected:
  void SetUp() override { ASSERT_NO_FATAL_FAILURE(writeTwoSlideTalk(dir_ / "talk.mp4")); }
  RunResult run(std::vector<std::string> args, const std::string& prefix = kBounded) {
    args.insert(args.begin(), {"-i", "talk.mp4", "-hide"});
    return runSlidetrack(dir_, args, prefix);
  }
};

// Each entry under dir (the run's own console files aside) with its content, or its kind
// when it is no regular file: what a refused run must leave as it was.
inline std::map<std::string, std::string> snapshot(const fs::path& dir) {
  std::map<std::string, std::string> entries;
  for (const auto& entry : fs::recursive_directory_iterator(dir)) {
    const std::string name = fs::relative(entry.path(), dir).string();
    if (name == "run.out" || name == "run.err") continue;
    entries[name] = entry.is_symlink()        ? "link to " + fs::read_symlink(entry).string()
                    : entry.is_regular_file() ? readFile(entry.path())
                                              : "special";
  }
  return entries;
}
