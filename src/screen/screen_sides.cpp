#include "screen/screen_sides.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace slidetrack {

namespace {

constexpr int kChangeStep = kScreenChangeStep;
constexpr float kAcross = kScreenAcross;
constexpr float kRunOn = 0.1f;  // stretch beyond a corner, a share of the side, that must be clear
constexpr float kFlat = 8.f;    // grey step across a side below which nothing shows there

float at(const cv::Mat& image, cv::Point2f p) { return screenGreyAt(image, p); }

float median(std::vector<float> v) {
  if (v.empty()) return 0.f;
  std::nth_element(v.begin(), v.begin() + long(v.size() / 2), v.end());
  return v[v.size() / 2];
}

float stepAcross(const cv::Mat& image, cv::Point2f p, cv::Point2f inward) {
  return at(image, p + kAcross * inward) - at(image, p - kAcross * inward);
}

// The step across a side at p; where the still picture is hidden there (a speaker standing
// in front of the side in most samples), the largest step of the samples that differ.
float seenStep(const ScreenCues& cues, cv::Point2f p, cv::Point2f inward) {
  float step = stepAcross(cues.still, p, inward);
  for (size_t i = 0; i < cues.samples.size(); ++i)
    if (at(cues.changes[i], p) > kChangeStep)
      step = std::max(step, stepAcross(cues.samples[i], p, inward));
  return step;
}

// Share of the line backed from distance near to distance far beyond corner, going away
// from other (negative distances: towards it).
float backedBeyond(const ScreenLine& line, cv::Point2f corner, cv::Point2f other, float near,
                   float far) {
  const float t = line.along(corner), sign = t > line.along(other) ? 1.f : -1.f;
  return line.coverage(t + sign * near, t + sign * far);
}

}  // namespace

float screenGreyAt(const cv::Mat& image, cv::Point2f p) {
  const float x = std::clamp(p.x, 0.f, float(image.cols - 1));
  const float y = std::clamp(p.y, 0.f, float(image.rows - 1));
  const int x0 = std::min(int(x), image.cols - 2 < 0 ? 0 : image.cols - 2);
  const int y0 = std::min(int(y), image.rows - 2 < 0 ? 0 : image.rows - 2);
  const int x1 = std::min(x0 + 1, image.cols - 1), y1 = std::min(y0 + 1, image.rows - 1);
  const float fx = x - float(x0), fy = y - float(y0);
  const float top = (1 - fx) * image.at<uchar>(y0, x0) + fx * image.at<uchar>(y0, x1);
  const float bottom = (1 - fx) * image.at<uchar>(y1, x0) + fx * image.at<uchar>(y1, x1);
  return (1 - fy) * top + fy * bottom;
}

bool screenCornerIsJunction(const ScreenLine& ending, cv::Point2f from, const ScreenLine& starting,
                            cv::Point2f to, cv::Point2f corner) {
  const float lenEnding = float(cv::norm(corner - from)),
              lenStarting = float(cv::norm(to - corner));
  // Clear of the blur and the corner's own rounding.
  const float gapEnding = std::max(3.f, 0.02f * lenEnding);
  const float gapStarting = std::max(3.f, 0.02f * lenStarting);
  const bool endingRunsOn =
      backedBeyond(ending, corner, from, gapEnding, gapEnding + kRunOn * lenEnding) >= 0.5f;
  const bool startingRunsOn =
      backedBeyond(starting, corner, to, gapStarting, gapStarting + kRunOn * lenStarting) >= 0.5f;
  const bool endingReaches = backedBeyond(ending, corner, from, -kRunOn * lenEnding, 0.f) >= 0.5f;
  const bool startingReaches =
      backedBeyond(starting, corner, to, -kRunOn * lenStarting, 0.f) >= 0.5f;
  return (endingRunsOn && !startingReaches) || (startingRunsOn && !endingReaches);
}

float screenBorderBeyond(const cv::Mat& still, cv::Point2f a, cv::Point2f b, cv::Point2f inward,
                         float depth, float minContrast) {
  constexpr int kPoints = 24;
  constexpr float kRise = 24.f;  // grey step from a border to the wall around it
  std::vector<float> widths;
  for (int i = 0; i < kPoints; ++i) {
    const cv::Point2f p = a + (0.1f + 0.8f * float(i) / float(kPoints - 1)) * (b - a);
    float darkest = 255.f, end = 0.f;
    for (float d = 1.f; d <= 0.15f * depth && end == 0.f; d += 0.5f) {
      const float grey = at(still, p - d * inward);
      if (d > 2.f * kAcross && grey >= darkest + kRise &&
          at(still, p - (d + 2.f) * inward) >= darkest + kRise)
        end = d;
      darkest = std::min(darkest, grey);
    }
    if (end > 0.f && at(still, p + 2.f * kAcross * inward) - darkest >= 4.f * minContrast)
      widths.push_back(end);
  }
  if (widths.size() * 10 < kPoints * 7) return 0.f;
  const float width = median(widths);
  const float spread = std::max(1.5f, 0.15f * width);
  const long even = std::count_if(widths.begin(), widths.end(),
                                  [&](float w) { return std::fabs(w - width) <= spread; });
  return even * 10 >= kPoints * 7 ? width : 0.f;
}

float screenDarkInside(const cv::Mat& still, cv::Point2f a, cv::Point2f b, cv::Point2f inward,
                       float depth) {
  std::vector<float> drops;
  for (int i = 0; i < 24; ++i) {
    const cv::Point2f p = a + (0.1f + 0.8f * float(i) / 23.f) * (b - a);
    float darkest = 255.f;
    for (float d = 2.f * kAcross; d <= depth; d += 1.f)
      darkest = std::min(darkest, at(still, p + d * inward));
    drops.push_back(at(still, p - kAcross * inward) - darkest);
  }
  return median(drops);
}

SideLook screenSideLook(const ScreenCues& cues, cv::Point2f a, cv::Point2f b, cv::Point2f inward,
                        float reach, const ScreenLine* line, const ChangeFilter& filter) {
  std::vector<float> steps;
  const float ta = line ? line->along(a) : 0.f, tb = line ? line->along(b) : 0.f;
  const float half = 0.5f * std::fabs(tb - ta) / 23.f;
  const int n = int(cues.samples.size());
  // Points whose band changes in more than one sample, and per sample those it alone changes.
  int several = 0, looked = 0;
  std::vector<int> alone(size_t(n), 0);
  for (int i = 0; i < 24; ++i) {
    const cv::Point2f p = a + (0.1f + 0.8f * float(i) / 23.f) * (b - a);
    const float step = seenStep(cues, p, inward);
    // Where the line has no edge and the picture is flat across it, something that stands
    // in front of the side hides it in every sample: that place tells nothing.
    const float t = ta + (0.1f + 0.8f * float(i) / 23.f) * (tb - ta);
    if (!line || std::fabs(step) >= kFlat || line->coverage(t - half, t + half) >= 0.5f)
      steps.push_back(step);
    ++looked;
    // A band beyond the side, clear of the side's own edge that shakes.
    const float far = std::max(reach, 6.f * kAcross);
    float most = 0.f;
    for (float d = 3.f * kAcross; d <= far; d += kAcross)
      most = std::max(most, at(cues.change, p - d * inward));
    if (most <= kChangeStep) continue;
    int count = 0, last = 0;
    for (int s = 0; s < n && count < 2; ++s) {
      bool changes = false;
      for (float d = 3.f * kAcross; d <= far && !changes; d += kAcross)
        changes = at(cues.changes[size_t(s)], p - d * inward) > kChangeStep &&
                  !(filter && filter(s, p - d * inward));
      if (changes) ++count, last = s;
    }
    if (count > 1)
      ++several;
    else if (count == 1)
      ++alone[size_t(last)];
  }
  // A speaker's arm or head that passes beyond the side shows in one sample; a slide's title
  // changes with every slide. Leave out the one sample that changes most points alone.
  int outside = several;
  if (n > 2) {
    for (int c : alone) outside += c;
    outside -= *std::max_element(alone.begin(), alone.end());
  }
  // A side seen along less than a quarter: no contrast to tell.
  const float contrast = int(steps.size()) * 4 >= looked ? median(steps) : 0.f;
  return {contrast, float(outside) / float(looked)};
}

SideShown screenSideShown(const ScreenCues& cues, const ScreenLine& line, cv::Point2f a,
                          cv::Point2f b, cv::Point2f inward, float minContrast) {
  constexpr int kPoints = 48;
  const float ta = line.along(a), tb = line.along(b), half = 0.5f * std::fabs(tb - ta) / kPoints;
  bool seen[kPoints], backed[kPoints];
  std::vector<float> inside, outside;
  SideShown shown;
  for (int i = 0; i < kPoints; ++i) {
    const float u = (float(i) + 0.5f) / float(kPoints), t = ta + u * (tb - ta);
    const cv::Point2f p = a + u * (b - a);
    backed[i] = line.coverage(t - half, t + half) >= 0.5f;
    seen[i] = backed[i] || seenStep(cues, p, inward) >= minContrast;
    if (seen[i]) shown.seen += 1.f / kPoints;
    if (!backed[i]) continue;
    inside.push_back(at(cues.still, p + 2.f * kAcross * inward));
    outside.push_back(at(cues.still, p - 2.f * kAcross * inward));
    const float u0 = float(i) / float(kPoints), u1 = float(i + 1) / float(kPoints);
    if (i > 0 && backed[i - 1])
      shown.stretches.back()[1] = u1;
    else
      shown.stretches.emplace_back(u0, u1);
  }
  if (inside.empty()) return shown;
  const float in = median(inside), out = median(outside);
  for (int i = 0; i < kPoints; ++i) {
    if (seen[i]) continue;
    const cv::Point2f p = a + ((float(i) + 0.5f) / float(kPoints)) * (b - a);
    const float grey = at(cues.still, p);
    // Flat well into both sides: a body standing across the side, not a thing beside it.
    bool flat = true;
    for (float d = kAcross; d <= 4.f * kAcross && flat; d += kAcross)
      flat = std::fabs(at(cues.still, p + d * inward) - grey) < kFlat &&
             std::fabs(at(cues.still, p - d * inward) - grey) < kFlat;
    if (flat && std::fabs(grey - in) >= minContrast && std::fabs(grey - out) >= minContrast)
      shown.hidden += 1.f / kPoints;
  }
  return shown;
}

}  // namespace slidetrack
