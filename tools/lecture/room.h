#pragma once
// The rooms around the screen (or without one) and their uneven lighting.

#include <array>

#include <opencv2/core.hpp>

#include "lecture_scene.h"

// Paints a Hall, Blackboard or Outdoor background over `room` (BGR, frame size).
void drawRoomKind(cv::Mat& room, const LectureScene& scene);
// Per-pixel gain (CV_32FC3): vignetting and light falling off across the room; empty for
// a plain room, which is evenly lit.
cv::Mat lightingGain(const LectureScene& scene);
// The hall screen's dark border around the projected image, TL, TR, BR, BL (no shake).
std::array<cv::Point2f, 4> hallBorderCorners(const LectureScene& scene);
