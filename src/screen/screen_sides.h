#pragma once
// What one side of a candidate screen shows: its contrast and what changes beyond it, how
// much of it the picture shows, and how it meets its neighbours.

#include <functional>
#include <vector>

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
// Whether the change of sample s at p is to be left out.
using ChangeFilter = std::function<bool(int s, cv::Point2f p)>;
// Change that filter leaves out does not count.
SideLook screenSideLook(const ScreenCues& cues, cv::Point2f a, cv::Point2f b, cv::Point2f inward,
                        float reach, const ScreenLine* line = nullptr,
                        const ChangeFilter& filter = {});

// Where the side from a to b shows: the line's segments back it or, where the still picture
// is hidden, some sample shows a step of at least minContrast across it. Elsewhere something
// may stand in front of it in every sample: the still picture is flat across the side there,
// at a grey unlike both the inside and the outside where the segments back it (a speaker's
// body, not the wall or the screen going on).
struct SideShown {
  float seen = 0.f;    // share of the side shown
  float hidden = 0.f;  // share hidden by something standing in front of it
  // Where the still picture shows it, as shares of the way from a to b.
  std::vector<cv::Vec2f> stretches;
};
SideShown screenSideShown(const ScreenCues& cues, const ScreenLine& line, cv::Point2f a,
                          cv::Point2f b, cv::Point2f inward, float minContrast);

// Whether, at corner, one side runs on past it (segments back most of a tenth of its length
// beyond) while the other does not reach it (they back less than half of its last tenth).
// ending runs from from to corner, starting from corner to to.
bool screenCornerIsJunction(const ScreenLine& ending, cv::Point2f from, const ScreenLine& starting,
                            cv::Point2f to, cv::Point2f corner);

// The width of a dark border of even width just beyond the side from a to b, as a screen's
// frame has and a slide's bar with marks or text does not; 0 when there is none. Beyond it
// is the room, where a speaker's arm may reach, not the slide. depth: the screen's size
// across the side.
float screenBorderBeyond(const cv::Mat& still, cv::Point2f a, cv::Point2f b, cv::Point2f inward,
                         float depth, float minContrast);

// How much darker than just outside the side the picture gets within depth pixels inside
// it (median along the side).
float screenDarkInside(const cv::Mat& still, cv::Point2f a, cv::Point2f b, cv::Point2f inward,
                       float depth);

}  // namespace slidetrack
