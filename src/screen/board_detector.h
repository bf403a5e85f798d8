#pragma once
// Finds the projected screen's quadrilateral in one grey frame.

#include <opencv2/core.hpp>

// Returns the edge support in [0, 1] of the quadrilateral found (corners TL, TR, BR, BL),
// or 0 with four zero corners when none was found.
float boardDetect(const cv::Mat& grey, cv::Point2f corners[4], int low, int high);
