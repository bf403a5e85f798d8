#pragma once
// What is drawn over the slide while it is up: pen strokes appearing as if written on a
// tablet, and a screen recording's mouse pointer.

#include <opencv2/core.hpp>

#include "lecture_scene.h"

// The ink of that frame (the strokes written so far on the showing's slide), through the
// slide-to-frame map. Nothing on showings without ink.
void drawInk(cv::Mat& image, const LectureScene& scene, int frame);
// True when that schedule entry gets ink.
bool showingHasInk(const LectureScene& scene, int showing);
// An arrow pointer moving and resting over the frame.
void drawPointer(cv::Mat& image, const LectureScene& scene, int frame);
