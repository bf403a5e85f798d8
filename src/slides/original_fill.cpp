#include "slides/original_fill.h"

#include <algorithm>

#include <opencv2/imgproc.hpp>

#include "slides/original_fitted.h"

namespace slidetrack {

namespace {

// Seen pixels this close to the hole may still hold the speaker's blurred outline.
constexpr int kEdge = 3;
// The fit reads the seen slide this far around the hole: the light there is the hole's.
constexpr int kBand = 48;
// Pixels over which the original blends into the surround fill at the hole's edge.
constexpr float kFeather = 4.f;
constexpr int kLeastPixels = 400;

}  // namespace

bool fillFromOriginal(cv::Mat& picture, const cv::Mat& unseen, const cv::Mat& original) {
  if (picture.empty() || unseen.empty() || original.empty() || picture.type() != CV_8UC3 ||
      original.type() != CV_8UC3)
    return false;
  cv::Mat hole;
  cv::resize(unseen, hole, picture.size(), 0, 0, cv::INTER_NEAREST);
  if (cv::countNonZero(hole) == 0) return false;
  // The seen slide around the hole, away from its edge, within the box the work is done in.
  cv::Mat near, edge, band;
  cv::dilate(hole, near, cv::getStructuringElement(cv::MORPH_RECT, {2 * kBand + 1, 2 * kBand + 1}));
  cv::dilate(hole, edge, cv::getStructuringElement(cv::MORPH_RECT, {2 * kEdge + 1, 2 * kEdge + 1}));
  cv::bitwise_and(near, ~edge, band);
  const cv::Rect box = cv::boundingRect(near);
  if (cv::countNonZero(band(box)) < kLeastPixels) return false;

  const cv::Mat fill = fittedOriginal(picture, original, band, box);
  if (!originalExplains(picture, fill, band, box)) return false;

  // Blended into the surround fill over the hole's first few pixels.
  cv::Mat distance;
  cv::distanceTransform(hole(box), distance, cv::DIST_L2, 3);
  for (int y = 0; y < box.height; ++y) {
    const float* d = distance.ptr<float>(y);
    const cv::Vec3b* f = fill.ptr<cv::Vec3b>(y);
    cv::Vec3b* p = picture.ptr<cv::Vec3b>(box.y + y) + box.x;
    for (int x = 0; x < box.width; ++x) {
      if (d[x] <= 0.f) continue;
      const float w = std::min(1.f, d[x] / kFeather);
      for (int c = 0; c < 3; ++c)
        p[x][c] = cv::saturate_cast<unsigned char>(w * f[x][c] + (1.f - w) * p[x][c]);
    }
  }
  return true;
}

}  // namespace slidetrack
