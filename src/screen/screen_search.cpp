#include "screen/screen_search.h"

#include <algorithm>

#include <opencv2/imgproc.hpp>

#include "screen/corner_refiner.h"
#include "screen/presentation_localize.h"
#include "screen/screen_border.h"
#include "video/video_source.h"

namespace slidetrack {

namespace {

constexpr int kEscape = 27;
constexpr int kWorkWidth = 960;  // the choice runs on samples at most this wide

bool toGrey(const cv::Mat& frame, cv::Mat& grey) {
  if (frame.empty() || frame.depth() != CV_8U) return false;
  if (frame.channels() == 4)
    cv::cvtColor(frame, grey, cv::COLOR_BGRA2GRAY);
  else if (frame.channels() == 3)
    cv::cvtColor(frame, grey, cv::COLOR_BGR2GRAY);
  else if (frame.channels() == 1)
    frame.copyTo(grey);
  else
    return false;
  return true;
}

}  // namespace

ScreenChoice screenFindInSamples(const std::vector<cv::Mat>& greys,
                                 const ScreenSearchOptions& options) {
  if (greys.empty()) return ScreenChoice();
  double scale = 1.0;
  const std::vector<cv::Mat> small = screenCuesShrink(greys, kWorkWidth, &scale);
  const ScreenCues cues = screenCuesOf(small);
  ScreenChoice choice = screenChoose(cues, options.boardMinContrast);
  if (choice.found != ScreenFound::Screen) return choice;
  // Pixel centres of the shrunk picture back to the full one.
  for (cv::Point2f& c : choice.corners)
    c = cv::Point2f(float((c.x + 0.5) / scale - 0.5), float((c.y + 0.5) / scale - 0.5));
  const cv::Mat still = scale < 1.0 ? screenStillOf(greys) : cues.still;
  std::array<cv::Point2f, 4> inward;
  for (int k = 0; k < 4; ++k) inward[size_t(k)] = choice.sides[size_t(k)].normal;
  // The lines were found on the shrunk still: about a pixel there, a few here.
  refineScreenCorners(still, choice.corners, inward, float(2.0 / scale + 2.0), choice.shown);
  // A top chosen for its border must be placed from it here too, or it is no screen.
  if (!screenTopFromBorder(still, choice.corners) && choice.topInBorder) return ScreenChoice();
  return choice;
}

ScreenSearchResult screenSearch(VideoSource* video, const ScreenSearchOptions& options,
                                const SampleViewer& viewer, const SampleListener& listener) {
  const int frameCount = video ? videoSourceFrameCount(video) : kUnknownFrameCount;
  // The design's sample count and positions, so both searches see the same frames.
  int samples = frameCount >= 0 ? options.presentDetCount : 0;
  if (frameCount > 0) samples = std::min(samples, std::max(1, frameCount / 2));
  std::vector<cv::Mat> greys;
  cv::Mat colour;
  for (int i = 0; i < samples; ++i) {
    const int position = localizeSamplePosition(frameCount, i, samples);
    if (listener) listener(position);
    const cv::Mat* frame = videoSourceGetFrame(video, position);
    cv::Mat grey;
    if (!frame || !toGrey(*frame, grey)) break;
    if (!greys.empty() && grey.size() != greys[0].size()) break;
    greys.push_back(grey);
    if (!viewer) continue;
    cv::cvtColor(grey, colour, cv::COLOR_GRAY2BGR);
    if (viewer(colour) == kEscape) break;
  }
  const ScreenChoice choice = screenFindInSamples(greys, options);
  ScreenSearchResult result;
  result.recording = choice.found == ScreenFound::Recording;
  if (choice.found != ScreenFound::Screen) return result;
  result.corners.create(1, 4, CV_32FC2);
  for (int k = 0; k < 4; ++k) result.corners.at<cv::Point2f>(0, k) = choice.corners[size_t(k)];
  return result;
}

}  // namespace slidetrack
