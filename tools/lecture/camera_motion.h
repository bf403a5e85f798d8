#pragma once
// What the camera adds over time: shake, random sub-pixel jitter, slow drift, and the
// drift of auto-exposure and white balance. All of it follows from the seed and the frame.

#include <opencv2/core.hpp>

#include "lecture_scene.h"

// How far the whole picture is moved in that frame, pixels.
cv::Point2f cameraOffsetAt(const LectureScene& scene, int frame);
// Gain of the B, G and R channels in that frame; each within 1 +- exposureDrift.
cv::Scalar exposureGainAt(const LectureScene& scene, int frame);
// A well-mixed hash of two numbers, for per-frame choices.
unsigned mixBits(unsigned a, unsigned b);
