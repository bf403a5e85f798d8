#pragma once
// Chooses the projected screen among the quadrilaterals that straight edges of the still
// picture bound, by the cues a real screen gives.

#include <array>
#include <vector>

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
  // The top is the lower edge of a dark bar that changes, to be placed from the border.
  bool topInBorder = false;
  // Where the still picture shows each side, as shares of the way along it; empty: all of
  // it. A side hidden in part by a speaker in every sample is placed from the rest.
  std::array<std::vector<cv::Vec2f>, 4> shown;
};

// A screen is a quadrilateral of four edge lines, each bright inside, well backed by
// segments, with a plausible shape, brighter inside than around it, and with still
// surroundings when the picture changes inside. A frame-filling change without any such
// quadrilateral is a screen recording.
ScreenChoice screenChoose(const ScreenCues& cues, int minContrast);

}  // namespace slidetrack
