#include "screen/screen_chooser.h"

#include "screen/screen_border.h"
#include "screen/screen_sides.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include <opencv2/imgproc.hpp>

namespace slidetrack {

namespace {

constexpr int kChangeStep = kScreenChangeStep;
constexpr float kAcross = kScreenAcross;
constexpr int kPerRole = 12;  // longest lines tried for each side
constexpr float kMinCoverage = 0.5f;
constexpr float kMinBacked = 0.2f;  // share of a side the still picture itself must show
// Least share of a side hidden by a speaker in every sample that must show: a third of a line
// is a line. What does not show must be hidden nearly all, not just missing.
constexpr float kMinShown = 1.f / 3.f;
constexpr float kMinShownOrHidden = 0.9f;
constexpr float kMaxOutsideChange = 0.15f;
constexpr float kMinChangeInside = 0.25f;
// The sides of a screen lean no more than a camera shows: the top and bottom at most 40
// degrees from level (a 45 degree side view), the left and right at most 25 from upright.
const float kLevelLean = std::sin(40.f * float(CV_PI) / 180.f);
const float kUprightLean = std::sin(25.f * float(CV_PI) / 180.f);

float at(const cv::Mat& image, cv::Point2f p) { return screenGreyAt(image, p); }

float median(std::vector<float> v) {
  if (v.empty()) return 0.f;
  std::nth_element(v.begin(), v.begin() + long(v.size() / 2), v.end());
  return v[v.size() / 2];
}

struct Roles {
  std::vector<const ScreenLine*> top, right, bottom, left;
};

Roles rolesOf(const std::vector<ScreenLine>& lines, float minLength) {
  Roles r;
  for (const ScreenLine& l : lines) {
    if (l.length < minLength) continue;
    if (std::fabs(l.direction.y) <= kLevelLean) {
      auto& role = l.normal.y > 0 ? r.top : r.bottom;
      if (role.size() < kPerRole) role.push_back(&l);
    } else if (std::fabs(l.direction.x) <= kUprightLean) {
      auto& role = l.normal.x > 0 ? r.left : r.right;
      if (role.size() < kPerRole) role.push_back(&l);
    }
  }
  return r;
}

float cross(cv::Point2f a, cv::Point2f b) { return a.x * b.y - a.y * b.x; }

// Convex, clockwise on screen, inside the picture, of a size and shape a screen can have.
bool plausible(const std::array<cv::Point2f, 4>& c, cv::Size size) {
  const float w = float(size.width), h = float(size.height);
  for (const cv::Point2f& p : c)
    if (p.x < -2 || p.y < -2 || p.x > w + 1 || p.y > h + 1) return false;
  float len[4];
  for (int k = 0; k < 4; ++k) {
    const cv::Point2f e1 = c[(k + 1) % 4] - c[k], e2 = c[(k + 2) % 4] - c[(k + 1) % 4];
    len[k] = float(cv::norm(e1));
    if (len[k] < 0.06f * w) return false;
    // Corner angles between 50 and 130 degrees.
    if (cross(e1, e2) <= 0.766f * len[k] * float(cv::norm(e2))) return false;
  }
  const float aspect = (len[0] + len[2]) / (len[1] + len[3]);
  if (aspect < 0.7f || aspect > 3.f) return false;
  if (std::min(len[0], len[2]) < 0.5f * std::max(len[0], len[2])) return false;
  if (std::min(len[1], len[3]) < 0.5f * std::max(len[1], len[3])) return false;
  const float area = 0.5f * std::fabs(cross(c[2] - c[0], c[3] - c[1]));
  return area >= 0.01f * w * h;
}

float insideMedian(const cv::Mat& still, const std::array<cv::Point2f, 4>& c) {
  std::vector<float> v;
  for (int i = 1; i < 10; ++i)
    for (int j = 1; j < 10; ++j) {
      const float u = 0.1f * float(i), t = 0.1f * float(j);
      const cv::Point2f top = c[0] + u * (c[1] - c[0]), bottom = c[3] + u * (c[2] - c[3]);
      v.push_back(at(still, top + t * (bottom - top)));
    }
  return median(v);
}

float ringMedian(const cv::Mat& still, const std::array<cv::Point2f, 4>& c,
                 const std::array<cv::Point2f, 4>& inward) {
  std::vector<float> v;
  for (int k = 0; k < 4; ++k)
    for (int i = 1; i < 10; ++i) {
      const cv::Point2f p = c[k] + 0.1f * float(i) * (c[(k + 1) % 4] - c[k]);
      v.push_back(at(still, p - 2.f * kAcross * inward[k]));
    }
  return median(v);
}

// The change beyond the side from a to b that lies within a dark border of even width there:
// beyond a screen's border is the room, where a speaker's arm or head may reach in several
// samples. Without such a border, look's change stands.
float changeWithinBorder(const ScreenCues& cues, cv::Point2f a, cv::Point2f b, cv::Point2f inward,
                         float across, const ScreenLine* line, float minContrast,
                         const SideLook& look) {
  const float border = screenBorderBeyond(cues.still, a, b, inward, across, minContrast);
  if (border <= 0.f) return look.outsideChange;
  const ChangeFilter inRoom = [a, inward, border](int, cv::Point2f p) {
    return (a - p).dot(inward) > border;
  };
  return screenSideLook(cues, a, b, inward, 0.2f * across, line, inRoom).outsideChange;
}

}  // namespace

ScreenChoice screenChoose(const ScreenCues& cues, int minContrast) {
  const cv::Size size = cues.still.size();
  ScreenChoice best;
  const std::vector<ScreenLine> lines =
      screenLinesFind(cues.still, std::max(8.f, 0.015f * size.width), 1.5f);
  const Roles roles = rolesOf(lines, 0.04f * float(size.width));

  cv::Mat changed = cues.change > kChangeStep, coarse;
  const double quarter = 0.25;
  cv::resize(changed, coarse, cv::Size(), quarter, quarter, cv::INTER_AREA);
  coarse = coarse > 64;
  const int changedTotal = cv::countNonZero(coarse);
  const bool changes = changedTotal >= int(0.002 * double(coarse.total()));
  cv::Mat mask(coarse.size(), CV_8UC1);

  for (const ScreenLine* t : roles.top)
    for (const ScreenLine* b : roles.bottom)
      for (const ScreenLine* l : roles.left)
        for (const ScreenLine* r : roles.right) {
          std::array<cv::Point2f, 4> c;
          if (!screenLinesCross(*t, *l, &c[0]) || !screenLinesCross(*t, *r, &c[1]) ||
              !screenLinesCross(*b, *r, &c[2]) || !screenLinesCross(*b, *l, &c[3]))
            continue;
          if (!plausible(c, size)) continue;
          const ScreenLine* side[4] = {t, r, b, l};
          // Each side is bright towards the inside: lines bright outwards, as around a
          // blackboard or a window, cross in the same places but bound no screen.
          const cv::Point2f centre = 0.25f * (c[0] + c[1] + c[2] + c[3]);
          bool facing = true;
          for (int k = 0; k < 4; ++k)
            facing = facing && side[k]->normal.dot(centre) > side[k]->offset;
          if (!facing) continue;
          float cover[4];
          std::array<std::vector<cv::Vec2f>, 4> shown;
          int hiddenSides = 0;
          for (int k = 0; k < 4 && hiddenSides < 2; ++k) {
            cover[k] = side[k]->coverage(side[k]->along(c[k]), side[k]->along(c[(k + 1) % 4]));
            if (cover[k] >= kMinCoverage) continue;
            // A side partly hidden by a speaker who stands there: what the samples show.
            SideShown seen;
            if (cover[k] >= kMinBacked)
              seen = screenSideShown(cues, *side[k], c[k], c[(k + 1) % 4], side[k]->normal,
                                     float(minContrast));
            cover[k] = seen.seen;
            if (cover[k] >= kMinCoverage) continue;
            // One speaker hides one side; the rest of it places it.
            hiddenSides +=
                seen.seen >= kMinShown && seen.seen + seen.hidden >= kMinShownOrHidden ? 1 : 2;
            shown[size_t(k)] = seen.stretches;
          }
          if (hiddenSides > 1) continue;
          // The edges of a projected image meet at its corners; a side that runs on past a
          // corner which the other side does not reach meets the edge of a block or a bar
          // inside the slide.
          bool junction = false;
          for (int k = 0; k < 4 && !junction; ++k)
            junction = screenCornerIsJunction(*side[(k + 3) % 4], c[(k + 3) % 4], *side[k],
                                              c[(k + 1) % 4], c[k]);
          if (junction) continue;
          std::array<cv::Point2f, 4> inward;
          // Each side's distance to the opposite one.
          const float across[4] = {float(cv::norm(0.5f * (c[0] + c[1]) - 0.5f * (c[2] + c[3]))),
                                   float(cv::norm(0.5f * (c[1] + c[2]) - 0.5f * (c[3] + c[0]))),
                                   float(cv::norm(0.5f * (c[0] + c[1]) - 0.5f * (c[2] + c[3]))),
                                   float(cv::norm(0.5f * (c[1] + c[2]) - 0.5f * (c[3] + c[0])))};
          float contrast = 0.f, coverage = 0.f;
          bool fails = false, topInBorder = false;
          for (int k = 0; k < 4 && !fails; ++k) {
            inward[k] = side[k]->normal;
            SideLook look =
                screenSideLook(cues, c[k], c[(k + 1) % 4], inward[k], 0.2f * across[k], side[k]);
            // Beyond the top of a screen the picture stays still; below it a speaker may
            // walk, beside it too, but beyond the top only the slide's own title changes.
            fails = look.contrast < float(minContrast);
            if (k == 0 && look.outsideChange > kMaxOutsideChange)
              look.outsideChange = changeWithinBorder(cues, c[0], c[1], inward[0], across[0],
                                                      side[0], float(minContrast), look);
            // A slide's dark top bar as dark as the border changes (a navigation bar's
            // marks): the top found is its lower edge, and the border tells the true top,
            // beyond which the picture stays still.
            if (k == 0 && look.outsideChange > kMaxOutsideChange) {
              std::array<cv::Point2f, 4> moved = c;
              topInBorder = screenTopFromBorder(cues.still, moved) &&
                            screenSideLook(cues, moved[0], moved[1], inward[0], 0.2f * across[0])
                                    .outsideChange <= kMaxOutsideChange;
              fails = fails || !topInBorder;
            }
            contrast += std::min(look.contrast, 120.f) / 4.f;
            coverage += cover[k] / 4.f;
          }
          if (fails) continue;
          const float score = coverage * contrast;
          if (score <= best.score) continue;
          if (changes) {
            // The slides change inside the screen: a good part of all change lies within
            // it, or change is denser there than elsewhere (a large speaker walking below
            // and beside a far screen may change more pixels than its slides).
            mask.setTo(0);
            cv::Point poly[4];
            for (int k = 0; k < 4; ++k)
              poly[k] = cv::Point(cvRound(c[k].x * quarter), cvRound(c[k].y * quarter));
            cv::fillConvexPoly(mask, poly, 4, cv::Scalar(255));
            const float hits = float(cv::countNonZero(mask & coarse));
            const float density = hits / float(std::max(1, cv::countNonZero(mask)));
            if (hits < kMinChangeInside * float(changedTotal) &&
                density < 1.5f * float(changedTotal) / float(coarse.total()))
              continue;
          }
          if (insideMedian(cues.still, c) < ringMedian(cues.still, c, inward) + float(minContrast))
            continue;
          // The projected image's edge lies inside any dark border: a side with a strip
          // darker than its outside just within it is the border's outer edge, a door
          // frame or a desk beyond the screen.
          bool outer = false;
          for (int k = 0; k < 4 && !outer; ++k)
            outer = screenDarkInside(cues.still, c[k], c[(k + 1) % 4], inward[k],
                                     0.15f * across[k]) > float(minContrast);
          if (outer) continue;
          best.found = ScreenFound::Screen;
          best.corners = c;
          best.sides = {*t, *r, *b, *l};
          best.score = score;
          best.topInBorder = topInBorder;
          best.shown = shown;
        }
  if (best.found == ScreenFound::None && changes) {
    // No screen in the picture, but it changes from edge to edge: the frame is the slide.
    const cv::Rect box = cv::boundingRect(coarse);
    if (box.width >= 0.8 * coarse.cols && box.height >= 0.8 * coarse.rows)
      best.found = ScreenFound::Recording;
  }
  return best;
}

}  // namespace slidetrack
