#include "screen/presentation_localize.h"

#include <algorithm>
#include <cstdint>

#include <opencv2/imgproc.hpp>

#include "screen/board_detector.h"
#include "video/video_source.h"

namespace slidetrack {

namespace {

constexpr int kEscape = 27;

void drawQuadrilateral(cv::Mat& colour, const cv::Mat& corners) {
  const cv::Point2f* c = corners.ptr<cv::Point2f>();
  for (int k = 0; k < 4; ++k) {
    cv::Point from(cvRound(c[k].x), cvRound(c[k].y));
    cv::Point to(cvRound(c[(k + 1) % 4].x), cvRound(c[(k + 1) % 4].y));
    cv::line(colour, from, to, cv::Scalar(255, 0, 0), 1, cv::LINE_8, 0);
  }
}

// The four-channel picture of the source as three-channel colour; false for anything else.
bool toColour(const cv::Mat& frame, cv::Mat& colour) {
  if (frame.empty() || frame.depth() != CV_8U) return false;
  if (frame.channels() == 4)
    cv::cvtColor(frame, colour, cv::COLOR_BGRA2BGR);
  else if (frame.channels() == 3)
    frame.copyTo(colour);
  else
    return false;
  return true;
}

// The grey image of the frame: its colour converted with the first channel weighted 0.299.
// Without a viewer the colour image is not needed: the grey conversion ignores a fourth
// channel, so it reads the four-channel frame directly with the same result.
bool toGrey(const cv::Mat& frame, bool needColour, cv::Mat& colour, cv::Mat& grey) {
  if (!needColour && !frame.empty() && frame.depth() == CV_8U && frame.channels() == 4) {
    cv::cvtColor(frame, grey, cv::COLOR_RGBA2GRAY);
    return true;
  }
  if (!toColour(frame, colour)) return false;
  cv::cvtColor(colour, grey, cv::COLOR_RGB2GRAY);
  return true;
}

}  // namespace

int localizeSamplePosition(int frameCount, int i, int count) {
  // The product is formed in 64 bits so long videos do not overflow; the result is the same
  // as in 32 bits wherever that does not overflow.
  const int64_t half = frameCount / 2;
  const int64_t position = frameCount / 4 + (half * i) / count - 2;
  // On short clips the first positions fall before index 1, and indices 0 and 1 are both
  // the first picture: sample i is never before index i + 1, so every sample is its own
  // picture (the positions rise by at least one from sample to sample).
  return static_cast<int>(std::max<int64_t>(position, i + 1));
}

float localizeArea(const cv::Point2f corners[4]) {
  return (corners[1].x - corners[0].x) * (corners[2].y - corners[1].y);
}

bool localizeAccepts(float score, float area, float bestScore, float bestArea) {
  return score > 0.99f * bestScore && area > bestArea;
}

cv::Mat presentationLocalizeWith(VideoSource* video, int presentDetCount,
                                 const BoardDetector& detect, const SampleViewer& viewer,
                                 const SampleListener& listener) {
  const int frameCount = video ? videoSourceFrameCount(video) : kUnknownFrameCount;
  float bestScore = 0.f, bestArea = 0.f;
  cv::Mat corners(1, 4, CV_32FC2, cv::Scalar::all(0));
  // The opening picture only sized the working images; each sample brings its own size,
  // so it is not converted here.
  // Without a frame count the middle half of the video is unknown: nothing is sampled.
  int samples = frameCount >= 0 ? presentDetCount : 0;
  // More samples than frames in the middle half only take each frame again, right after
  // itself, and a frame cannot beat itself: one per frame gives the same corners. A clip
  // too short for a middle half still has its first picture.
  if (frameCount > 0) samples = std::min(samples, std::max(1, frameCount / 2));
  cv::Mat colour, grey;
  for (int i = 0; i < samples; ++i) {
    const int position = localizeSamplePosition(frameCount, i, samples);
    if (listener) listener(position);
    const cv::Mat* frame = videoSourceGetFrame(video, position);
    if (!frame || !toGrey(*frame, bool(viewer), colour, grey)) break;

    cv::Point2f candidate[4];
    const float score = detect(grey, candidate);
    const float area = localizeArea(candidate);
    if (localizeAccepts(score, area, bestScore, bestArea)) {
      for (int k = 0; k < 4; ++k) corners.at<cv::Point2f>(0, k) = candidate[k];
      bestScore = score;
      bestArea = area;
    }
    if (!viewer) continue;  // headless: nothing to draw, no key to wait for
    if (bestScore > 0.f && bestArea > 0.f) drawQuadrilateral(colour, corners);
    if (viewer(colour) == kEscape) break;
  }
  return bestScore > 0.f ? corners : cv::Mat();
}

cv::Mat presentationLocalize(VideoSource* video, const ScreenSearchOptions& options,
                             const SampleViewer& viewer, const SampleListener& listener) {
  const int boardDetLow = options.boardDetLow, boardDetHigh = options.boardDetHigh;
  // All samples have the frame size: one working memory serves them all.
  BoardWorkspace work;
  return presentationLocalizeWith(
      video, options.presentDetCount,
      [boardDetLow, boardDetHigh, &work](const cv::Mat& grey, cv::Point2f corners[4]) {
        return boardDetect(grey, corners, boardDetLow, boardDetHigh, work);
      },
      viewer, listener);
}

}  // namespace slidetrack
