#include "app/run.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <utility>

#include <opencv2/imgproc.hpp>

#include "app/display.h"
#include "app/interval_stage.h"
#include "app/matching_stage.h"
#include "app/rectifier.h"
#include "common/error.h"
#include "screen/presentation_settings.h"
#include "video/video_source.h"

namespace slidetrack {

namespace {

const char* const kMainFile = ".\\main";
// Report statuses; only a missing input video uses kStatusUsage.
constexpr int kStatusUsage = -2;
constexpr int kStatusVideo = -1;
constexpr int kStatusResults = -3;

[[noreturn]] void reportError(int status, const std::string& message, int line) {
  cv::error(status, message, "Main", kMainFile, line);
}

// Far above any screen or camera picture; larger sizes (a wrong-kind value reads as
// 2147483647) would only end the run in a failed allocation or an endless extraction.
constexpr int kMaxSide = 16384;
// Orientations are whole degrees, so more bins stay empty.
constexpr int kMaxBins = 360;

bool sideFits(int a, int b) { return a >= 1 && b >= 1 && a <= kMaxSide && b <= kMaxSide; }

// Settings the run cannot work with end it before any frame is touched.
void checkSettings(const PresentationSettings& s, const std::string& configFile) {
  const std::string range = " must be between 1 and " + std::to_string(kMaxSide);
  std::string problem;
  if (s.slideFrameStep < 1)
    problem = "slideFrameStep must be at least 1";
  else if (s.slideDiffBuff < 1 || s.slideDiffBuff > 255)
    problem = "slideDiffBuff must be between 1 and 255";
  else if (!sideFits(s.presentWidth, s.presentHeight))
    problem = "presentWidth and presentHeight" + range;
  else if (!sideFits(s.slideDetWidth, s.slideDetHeight))
    problem = "slideDetWidth and slideDetHeight" + range;
  else if (!sideFits(s.localWidth, s.localHeight))
    problem = "localWidth and localHeight" + range;
  else if (s.locWndSize < 1)
    problem = "locWndSize must be at least 1";
  else if (s.localWidth <= s.locWndSize || s.localHeight <= s.locWndSize)
    problem = "localWidth and localHeight must be larger than locWndSize";
  else if (s.gradBinSize < 1 || s.gradBinSize > kMaxBins)
    problem = "gradBinSize must be between 1 and " + std::to_string(kMaxBins);
  // The window step is (localWidth - locWndSize) / (100 x locWndOverlap) pixels; below one
  // pixel the windows only repeat.
  else if (!(s.locWndOverlap > 0.f) ||
           !(100.0 * s.locWndOverlap <= static_cast<double>(s.localWidth) - s.locWndSize))
    problem = "locWndOverlap must be above 0 and give a window step of at least one pixel";
  if (!problem.empty())
    reportError(cv::Error::StsOutOfRange,
                "Invalid settings in '" + configFile + "': " + problem + ".", 90);
}

// Without known corners the whole frame is the screen, as in a screen recording.
cv::Mat wholeFramePerspective(const cv::Size& frame, const PresentationSettings& s) {
  const float w = static_cast<float>(frame.width), h = static_cast<float>(frame.height);
  cv::Mat corners(1, 4, CV_32FC2);
  corners.at<cv::Vec2f>(0) = {0.f, 0.f};
  corners.at<cv::Vec2f>(1) = {w, 0.f};
  corners.at<cv::Vec2f>(2) = {w, h};
  corners.at<cv::Vec2f>(3) = {0.f, h};
  return perspectiveFromCorners(corners, s.presentWidth, s.presentHeight);
}

void openVideo(VideoSource* video, const std::string& path, int line) {
  if (videoSourceOpen(video, path)) return;
  const std::string cause = videoSourceLastError(video);
  reportError(kStatusVideo,
              "Cannot open video '" + path + "'" + (cause.empty() ? "" : ": " + cause) + ".", line);
}

// The same file under any name (symlinks included); false when either is missing.
bool sameFile(const std::string& a, const std::string& b) {
  std::error_code error;
  return std::filesystem::equivalent(a, b, error);
}

// The results file is replaced during the run: one that is also an input would be lost.
void checkResultsFileIsNoInput(const RunOptions& options) {
  const std::pair<const char*, const std::string*> inputs[] = {
      {"input video", &*options.inputVideo},
      {"configuration file", &options.configFile},
      {"original slides file", options.slidesOriginals ? &*options.slidesOriginals : nullptr}};
  for (const auto& [what, path] : inputs) {
    if (path && sameFile(options.outputXml, *path))
      reportError(
          kStatusResults,
          "The results file '" + options.outputXml + "' is the " + what + "; give another with -o.",
          78);
  }
}

}  // namespace

int slidetrackRun(const RunOptions& options) {
  if (!options.inputVideo) {
    std::printf("Prezentation extraction\n");
    std::printf("%s", kUsageText);
    reportError(kStatusUsage, "Input video name is missing.", 75);
  }
  const std::string& inputVideo = *options.inputVideo;
  checkResultsFileIsNoInput(options);
  IntervalStage intervals;
  intervalStagePrepare(intervals, options.imagesPath, options.outputXml);

  std::unique_ptr<VideoSource> video = videoSourceCreate();
  openVideo(video.get(), inputVideo, 85);
  Display display(options.showWindows);
  display.open("Video");

  SampleViewer sampleViewer;
  if (display.enabled()) {
    sampleViewer = [&display](const cv::Mat& sample) {
      display.show("Video", sample);
      return display.waitKey(10);
    };
  }
  std::string settingsError;
  std::unique_ptr<PresentationSettings> settings = presentationSettingsLoad(
      nullptr, options.configFile, video.get(), sampleViewer, &settingsError);
  if (!settings) reportError(cv::Error::StsParseError, settingsError, 88);
  checkSettings(*settings, options.configFile);
  matchingOptions(*settings).check(options.configFile);
  // Said before the positioning, whose fragment has no line end.
  if (settings->perspectiveMatrix.empty())
    std::printf("No screen corners known: the whole frame is taken as the screen.\n");
  MatchingStage matching;
  if (!videoSourceIsOpen(video.get())) openVideo(video.get(), inputVideo, 96);

  const int frameCount = videoSourceFrameCount(video.get());
  const cv::Mat* first = videoSourceGetFrameAtTime(video.get(), 0);
  if (!first) first = videoSourceImage(video.get());
  if (!first && frameCount != 0)
    reportError(kStatusVideo, "Cannot decode a frame of video '" + inputVideo + "'.", 100);
  matchingStageInit(matching, *settings);

  const cv::Size frameSize = first ? first->size() : cv::Size(1, 1);
  cv::Mat presentImage(settings->presentHeight, settings->presentWidth, CV_8UC3);
  cv::Mat presentGray(settings->presentHeight, settings->presentWidth, CV_8UC1);
  if (!matchingStageLoad(matching, options.slidesOriginals, *settings, display)) {
    std::printf("\nAnalysis of the original slides aborted.\n");
    return kExitFailure;
  }
  if (!intervalStageCreate(intervals, inputVideo,
                           matching.originals ? options.slidesOriginals->c_str() : nullptr,
                           *settings, display.enabled()))
    reportError(cv::Error::StsOutOfRange, "Cannot create the slide change detector.", 110);
  if (settings->perspectiveMatrix.empty())
    settings->perspectiveMatrix = wholeFramePerspective(frameSize, *settings);

  Rectifier rectifier;
  rectifierInit(rectifier, settings->perspectiveMatrix, frameSize, presentImage.size());
  // Only the screen's part of each frame is read from here on.
  videoSourceSetConvertedArea(video.get(), rectifier.sourceArea);

  std::printf("\nStart process frames\n");
  for (int t = 0; frameCount == kUnknownFrameCount || t < frameCount;
       t += settings->slideFrameStep) {
    intervalStageFrameBegin(intervals);
    std::printf("Frame[% 8d:% 8d] ", t, frameCount);
    const cv::Mat* frame = videoSourceGetFrame(video.get(), t);
    if (!frame) break;
    rectifierApply(rectifier, *frame, presentImage);
    if (matchingEnabled(matching))  // only the matching reads the grey screen
      cv::cvtColor(presentImage, presentGray, cv::COLOR_BGR2GRAY);
    if (intervalStageProcess(intervals, t, presentImage)) matchingStageReset(matching);
    matchingStageProcess(matching, intervals, t, presentGray, *settings);
    intervalStageSave(intervals);
    std::printf("\n");
    if (display.enabled()) {
      display.show("Video", presentImage);
      cv::Mat matched = matchingStageDisplayImage(matching, intervals, *settings);
      display.show("Slide", matched.empty() ? intervalStageSlideImage(intervals) : matched);
      const int key = display.waitKey(10);
      if (key == kKeyEsc) break;
      if (key == kKeySpace) display.waitKey(0);
    }
  }
  // The last write holds every record: without it the run's results are lost.
  if (!intervalStageFinish(intervals)) {
    const int cause = errno;
    reportError(kStatusResults,
                "Cannot save the results file '" + options.outputXml + "'" +
                    (cause ? std::string(": ") + std::strerror(cause) : std::string()) + ".",
                146);
  }
  std::fflush(stdout);
  return kExitOk;
}

int runMain(const RunOptions& options) {
  // One thread, as the whole design is: archives are processed one video per core.
  cv::setNumThreads(1);
  try {
    return slidetrackRun(options);
  } catch (const Error& e) {
    std::fflush(stdout);
    std::fprintf(stderr, "Error: %s\n", e.what());
    return kExitFailure;
  } catch (const cv::Exception& e) {
    std::fflush(stdout);
    std::fprintf(stderr, "Error: %s (%s, %s:%d)\n", e.err.c_str(), e.func.c_str(), e.file.c_str(),
                 e.line);
    return e.code == kStatusUsage ? kExitUsage : kExitFailure;
  }
}

}  // namespace slidetrack
