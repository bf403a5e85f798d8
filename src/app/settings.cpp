#include "app/settings.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include <opencv2/imgproc.hpp>

#include "common/error.h"

namespace slidetrack {

namespace {

// Far above any screen or camera picture; a wrong-kind value reads as 2147483647.
constexpr int kMaxSide = 16384;
// What the pictures the settings ask for may take together; the defaults take 12 MB.
constexpr double kMaxSettingsBytes = double(size_t{4} << 30);

// The rectified screen's ring of recent frames and its working copies, the change
// detector's edge maps and the feature image with its gradient planes.
std::string askingTooMuch(const PresentationSettings& s) {
  const double screen = double(s.presentWidth) * s.presentHeight * (3.0 * s.slideDiffBuff + 8.0);
  const double edges = double(s.slideDetWidth) * s.slideDetHeight * (s.slideDiffBuff + 2.0);
  const double features = double(s.localWidth) * s.localHeight * 16.0;
  const double gib = double(size_t{1} << 30);
  auto tooMuch = [&](double bytes, const char* keys) {
    return "the " + std::string(keys) + " ask for " + std::to_string(int(bytes / gib + 0.5)) +
           " GB of pictures, more than the " + std::to_string(int(kMaxSettingsBytes / gib)) +
           " GB a run may take";
  };
  if (screen + edges + features <= kMaxSettingsBytes) return "";
  if (screen >= edges && screen >= features)
    return tooMuch(screen, "presentWidth x presentHeight x slideDiffBuff");
  if (edges >= features) return tooMuch(edges, "slideDetWidth x slideDetHeight x slideDiffBuff");
  return tooMuch(features, "localWidth x localHeight");
}

}  // namespace

ScreenSearchOptions screenSearchOptions(const PresentationSettings& s) {
  return {s.boardDetLow, s.boardDetHigh, s.presentDetCount, s.boardChoice, s.boardMinContrast};
}

ChangeDetectorOptions changeDetectorOptions(const PresentationSettings& s) {
  return {s.slideDiffBuff,
          s.slideDetWidth,
          s.slideDetHeight,
          s.slideDiffThresh,
          s.slideDistrThresh,
          s.slideDetMethod,
          s.slideChangeThresh,
          s.slideCellSize,
          s.slideChangeCells,
          s.slideChangePersist,
          s.slideFillFromOriginal,
          s.slideChangeBeside,
          s.slideChangeUncovered,
          s.slidePictureUncovered,
          s.slideHoleSettle,
          s.slideBesideOverMask,
          s.slideSpeakerFromOriginal,
          s.slidePictureSpeaker,
          s.slidePictureFaint,
          s.slideJoinSame,
          s.slideJoinLooks,
          s.slideConfirmMoving,
          s.slideBesideWide,
          s.slideTintUpper,
          s.slideBesideSwallowed,
          s.slideConfirmFresh,
          s.slideMaskText,
          s.slideStartSettled,
          s.slidePictureArms,
          s.slideInkShape,
          s.slideJoinBoth,
          s.slideRestartLines,
          s.slidePictureArmParts,
          s.slideConfirmUnmoved,
          s.slidePictureHeldBack,
          s.slideFrontGone,
          s.slideJoinText,
          s.slideStartStanding};
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
  options.matchJumpMargin = s.matchJumpMargin;
  options.matchUnexplained = s.matchUnexplained;
  options.matchChangeDistance = s.matchChangeDistance;
  options.matchWithdraw = s.matchWithdraw;
  options.matchJoinSame = s.matchJoinSame;
  options.matchFitDrop = s.matchFitDrop;
  options.matchJoinContent = s.matchJoinContent;
  options.matchJoinRefused = s.matchJoinRefused;
  options.matchQuietMargin = s.matchQuietMargin;
  options.matchLeanFrames = s.matchLeanFrames;
  options.matchDropJump = s.matchDropJump;
  options.matchJoinMargin = s.matchJoinMargin;
  options.matchDropRepeat = s.matchDropRepeat;
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
  // Each key may be in range while together they ask for more memory than any machine has.
  problem = askingTooMuch(s);
  if (!problem.empty())
    throw Error(Error::Kind::kSettings,
                "Invalid settings in '" + configFile + "': " + problem + ".");
}

bool cornersCanBeScreen(const cv::Mat& corners, const cv::Size& frame) {
  if (corners.type() != CV_32FC2 || corners.total() != 4) return false;
  cv::Mat points = corners.isContinuous() ? corners : corners.clone();
  const cv::Point2f* c = points.ptr<cv::Point2f>();
  // A convex quadrilateral turns the same way at every corner; collinear or equal corners
  // and crossing sides do not.
  int sign = 0;
  for (int i = 0; i < 4; ++i) {
    const cv::Point2f a = c[(i + 1) % 4] - c[i], b = c[(i + 2) % 4] - c[(i + 1) % 4];
    const double cross = double(a.x) * b.y - double(a.y) * b.x;
    if (std::fabs(cross) < 1e-6) return false;
    const int turn = cross > 0 ? 1 : -1;
    if (sign != 0 && turn != sign) return false;
    sign = turn;
  }
  std::vector<cv::Point2f> hull(c, c + 4);
  if (cv::contourArea(hull) < 16.0) return false;
  // Some part of the screen must be in the frame, and no corner far beyond it.
  const float w = float(frame.width), h = float(frame.height);
  const cv::Rect2f near(-w, -h, 3 * w, 3 * h);
  for (int i = 0; i < 4; ++i)
    if (!near.contains(c[i])) return false;
  float left = c[0].x, right = c[0].x, top = c[0].y, bottom = c[0].y;
  for (const cv::Point2f& p : hull) {
    left = std::min(left, p.x), right = std::max(right, p.x);
    top = std::min(top, p.y), bottom = std::max(bottom, p.y);
  }
  return left < w && right > 0 && top < h && bottom > 0;
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
