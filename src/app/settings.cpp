#include "app/settings.h"

#include <cmath>

#include <opencv2/imgproc.hpp>

#include "common/error.h"

namespace slidetrack {

namespace {

// Far above any screen or camera picture; a wrong-kind value reads as 2147483647.
constexpr int kMaxSide = 16384;

}  // namespace

ScreenSearchOptions screenSearchOptions(const PresentationSettings& s) {
  return {s.boardDetLow, s.boardDetHigh, s.presentDetCount, s.boardChoice, s.boardMinContrast};
}

ChangeDetectorOptions changeDetectorOptions(const PresentationSettings& s) {
  return {s.slideDiffBuff,    s.slideDetWidth,     s.slideDetHeight,    s.slideDiffThresh,
          s.slideDistrThresh, s.slideDetMethod,    s.slideChangeThresh, s.slideCellSize,
          s.slideChangeCells, s.slideChangePersist};
}

FeatureOptions featureOptions(const PresentationSettings& s) {
  return {s.localWidth, s.localHeight, s.locWndSize, s.locWndOverlap, s.gradBinSize};
}

MatcherOptions matcherOptions(const PresentationSettings& s) {
  MatcherOptions options;
  options.matchLimit = s.matchLimit;
  options.method = matchMethodFromName(s.matchMethod);
  options.matchMargin = s.matchMargin;
  options.matchFit = s.matchFit;
  return options;
}

void checkSettings(const PresentationSettings& s, const std::string& configFile) {
  std::string problem;
  if (s.slideFrameStep < 1)
    problem = "slideFrameStep must be at least 1";
  else if (!(s.slideStepSeconds >= 0) || !std::isfinite(s.slideStepSeconds))
    problem = "slideStepSeconds must be 0 or a positive number of seconds";
  else if (s.presentWidth < 1 || s.presentHeight < 1 || s.presentWidth > kMaxSide ||
           s.presentHeight > kMaxSide)
    problem = "presentWidth and presentHeight must be between 1 and " + std::to_string(kMaxSide);
  if (!problem.empty())
    throw Error(Error::Kind::kSettings,
                "Invalid settings in '" + configFile + "': " + problem + ".");
  checkScreenSearchOptions(screenSearchOptions(s), configFile);
  checkChangeDetectorOptions(changeDetectorOptions(s), configFile);
  checkFeatureOptions(featureOptions(s), configFile);
  checkMatcherOptions(matcherOptions(s), configFile);
}

cv::Mat perspectiveFromCorners(const cv::Mat& boardPoints, int presentWidth, int presentHeight) {
  if (boardPoints.type() != CV_32FC2 || boardPoints.total() != 4) return cv::Mat();
  cv::Mat points = boardPoints.isContinuous() ? boardPoints : boardPoints.clone();
  const cv::Point2f* c = points.ptr<cv::Point2f>();
  const float w = static_cast<float>(presentWidth), h = static_cast<float>(presentHeight);
  cv::Point2f from[4] = {c[0], c[1], c[2], c[3]};
  cv::Point2f to[4] = {{0.f, 0.f}, {w, 0.f}, {w, h}, {0.f, h}};
  cv::Mat matrix;
  cv::getPerspectiveTransform(from, to).convertTo(matrix, CV_32FC1);
  return matrix;
}

}  // namespace slidetrack
