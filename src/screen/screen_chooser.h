#pragma once
// Chooses the projected screen among the quadrilaterals that straight edges of the still
// picture bound, by the cues a real screen gives.

#include <array>

#include <opencv2/core.hpp>

#include "screen/screen_cues.h"
#include "screen/screen_lines.h"

namespace slidetrack {

enum class ScreenFound { None, Screen, Recording };

struct ScreenChoice {
  ScreenFound found = ScreenFound::None;
  std::array<cv::Point2f, 4> corners{};  // TL, TR, BR, BL in the cue maps' pixels
  std::array<ScreenLine, 4> sides;       // top, right, bottom, left; bright inside
  float score = 0.f;
};

// A screen is a quadrilateral of four edge lines, each bright inside, well backed by
// segments, with a plausible shape, brighter inside than around it, and with still
// surroundings when the picture changes inside. A frame-filling change without any such
// quadrilateral is a screen recording.
ScreenChoice screenChoose(const ScreenCues& cues, int minContrast);

// The side of a quadrilateral: median step from outside to inside, sampled across it, and
// the share of its sample points with change in the band up to reach pixels beyond it.
struct SideLook {
  float contrast = 0.f;
  float outsideChange = 0.f;
};
SideLook screenSideLook(const ScreenCues& cues, cv::Point2f a, cv::Point2f b, cv::Point2f inward,
                        float reach);
// How much darker than just outside the side the picture gets within depth pixels inside
// it (median along the side).
float screenDarkInside(const cv::Mat& still, cv::Point2f a, cv::Point2f b, cv::Point2f inward,
                       float depth);

}  // namespace slidetrack
