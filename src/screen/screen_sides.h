#pragma once
// What one side of a candidate screen shows: its contrast and what changes beyond it, how
// much of it the picture shows, and how it meets its neighbours.

#include <opencv2/core.hpp>

#include "screen/screen_cues.h"
#include "screen/screen_lines.h"

namespace slidetrack {

constexpr int kScreenChangeStep = 30;  // grey step of a sample from the still that is change
constexpr float kScreenAcross = 2.5f;  // pixels from a side to where inside and outside are read

// Bilinear grey value, clamped to the picture.
float screenGreyAt(const cv::Mat& image, cv::Point2f p);

// The side from a to b of a quadrilateral: the median step from outside to inside across
// it, and the share of its points with change in the band up to reach pixels beyond it
// (change that one sample alone shows is left out: a speaker's arm or head passing). With
// the side's line, places where the line has no edge and the picture is flat across it
// are hidden and tell nothing; a side seen along less than a quarter has no contrast.
struct SideLook {
  float contrast = 0.f;
  float outsideChange = 0.f;
};
SideLook screenSideLook(const ScreenCues& cues, cv::Point2f a, cv::Point2f b, cv::Point2f inward,
                        float reach, const ScreenLine* line = nullptr);

// Share of the side from a to b that the line's segments back or, where the still picture
// is hidden, some sample shows with a step of at least minContrast.
float screenSideSeen(const ScreenCues& cues, const ScreenLine& line, cv::Point2f a, cv::Point2f b,
                     cv::Point2f inward, float minContrast);

// Whether, at corner, one side runs on past it (segments back most of a tenth of its length
// beyond) while the other does not reach it (they back less than half of its last tenth).
// ending runs from from to corner, starting from corner to to.
bool screenCornerIsJunction(const ScreenLine& ending, cv::Point2f from, const ScreenLine& starting,
                            cv::Point2f to, cv::Point2f corner);

// How much darker than just outside the side the picture gets within depth pixels inside
// it (median along the side).
float screenDarkInside(const cv::Mat& still, cv::Point2f a, cv::Point2f b, cv::Point2f inward,
                       float depth);

}  // namespace slidetrack
