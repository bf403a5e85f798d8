#include "slides/speaker_off.h"

#include <algorithm>
#include <vector>

#include <opencv2/imgproc.hpp>

#include "slides/original_fitted.h"

namespace slidetrack {

namespace {

// The sizes below are for a picture 640 pixels wide and scale with it.
constexpr double kWidth = 640.0;
// Pixels of blur under which picture and original are compared: the camera's.
constexpr double kBlur = 2.0;
// Levels, in the channel that differs most, beyond which a pixel is not the original's.
constexpr float kDiffers = 20.f;
// Diameter of what a region must hold everywhere to be solid: a pen stroke, a pointer or a
// line of text the slide gained is thinner.
constexpr int kSolid = 15;
// Share of the picture a region must cover at least; all of them together at most.
constexpr double kLeastRegion = 0.003, kMostRegions = 0.4;
// A region's surround read to see whether the original explains it, and the share of it
// it must explain.
constexpr int kNear = 8, kFar = 32;
constexpr double kSurroundExplained = 0.8;
// A region is someone in front, not content the shown slide lacks (a build step before the
// original's, a slide that differs from it): plain (few pixels with a deviation of this many
// grey levels over 7 x 7, as text has), and what differs around it reaches the screen's lower
// edge, as a person standing does, or holds a region in clothes or skin off the slide's
// background (by more than this many levels in some channel, on it at most at this share).
constexpr double kDetail = 8.0, kMostDetail = 0.25;
constexpr int kOffBackground = 12;
constexpr double kMostOnBackground = 0.5;
// Pixels by which a region grows to take his blurred outline, and over which it blends in.
constexpr int kOutline = 3;
constexpr float kFeather = 3.f;

cv::Mat disc(int diameter) {
  return cv::getStructuringElement(cv::MORPH_ELLIPSE, {diameter, diameter});
}

// Per pixel: the smallest, over the 3x3 shifts of b, of the largest channel difference.
cv::Mat differsFrom(const cv::Mat& a, const cv::Mat& b, double blur) {
  cv::Mat aBlurred, bBlurred, padded, diff, best;
  cv::GaussianBlur(a, aBlurred, {0, 0}, blur);
  cv::GaussianBlur(b, bBlurred, {0, 0}, blur);
  cv::copyMakeBorder(bBlurred, padded, 1, 1, 1, 1, cv::BORDER_REPLICATE);
  std::vector<cv::Mat> channels;
  for (int dy = 0; dy <= 2; ++dy)
    for (int dx = 0; dx <= 2; ++dx) {
      cv::absdiff(aBlurred, padded(cv::Rect({dx, dy}, a.size())), diff);
      cv::split(diff, channels);
      const cv::Mat worst = cv::max(cv::max(channels[0], channels[1]), channels[2]);
      best = best.empty() ? worst : cv::min(best, worst);
    }
  return best > kDiffers;
}

// The median colour of picture over mask (not empty).
cv::Vec3b medianColour(const cv::Mat& picture, const cv::Mat& mask) {
  std::vector<std::vector<unsigned char>> values(3);
  for (int y = 0; y < picture.rows; ++y)
    for (int x = 0; x < picture.cols; ++x)
      if (mask.at<unsigned char>(y, x))
        for (int c = 0; c < 3; ++c) values[size_t(c)].push_back(picture.at<cv::Vec3b>(y, x)[c]);
  cv::Vec3b median;
  for (int c = 0; c < 3; ++c) {
    std::vector<unsigned char>& v = values[size_t(c)];
    std::nth_element(v.begin(), v.begin() + long(v.size() / 2), v.end());
    median[c] = v[v.size() / 2];
  }
  return median;
}

// Grey deviation over 7 x 7 at or beyond kDetail.
cv::Mat fineDetail(const cv::Mat& picture) {
  cv::Mat grey, mean, meanSquare;
  cv::cvtColor(picture, grey, cv::COLOR_BGR2GRAY);
  grey.convertTo(grey, CV_32F);
  cv::boxFilter(grey, mean, CV_32F, {7, 7});
  cv::boxFilter(grey.mul(grey), meanSquare, CV_32F, {7, 7});
  return meanSquare - mean.mul(mean) >= kDetail * kDetail;
}

}  // namespace

bool speakerOffFromOriginal(cv::Mat& picture, const cv::Mat& original) {
  if (picture.empty() || original.empty() || picture.type() != CV_8UC3 ||
      original.type() != CV_8UC3)
    return false;
  const double scale = picture.cols / kWidth;
  const auto scaled = [scale](int pixels) { return std::max(1, int(pixels * scale + 0.5)); };
  const cv::Rect all(0, 0, picture.cols, picture.rows);
  // Lined up and fitted on every 4th pixel both ways: the whole picture is more than it needs.
  cv::Mat sparse(picture.size(), CV_8UC1, cv::Scalar(0));
  for (int y = 0; y < sparse.rows; y += 4)
    for (int x = 0; x < sparse.cols; x += 4) sparse.at<unsigned char>(y, x) = 255;
  const cv::Mat fill = fittedOriginal(picture, original, sparse, all);
  const cv::Mat differs = differsFrom(picture, fill, kBlur * scale);
  cv::Mat solid;
  cv::morphologyEx(differs, solid, cv::MORPH_OPEN, disc(2 * (scaled(kSolid) / 2) + 1));

  // The regions large enough and plain whose surround the original explains; kept when what
  // differs around them stands on the floor or holds one in clothes off the background.
  const cv::Mat detail = fineDetail(picture);
  cv::Mat parts;
  const int partCount = cv::connectedComponents(differs, parts, 8, CV_32S);
  std::vector<bool> person(size_t(partCount), false);
  for (int y = picture.rows - std::max(2, picture.rows / 50); y < picture.rows; ++y)
    for (int x = 0; x < picture.cols; ++x) person[size_t(parts.at<int>(y, x))] = true;
  cv::Mat labels, stats, centroids;
  const int count = cv::connectedComponentsWithStats(solid, labels, stats, centroids, 8);
  std::vector<std::pair<int, int>> candidates;  // region, part of what differs
  cv::Mat near, far;
  const double least = kLeastRegion * double(picture.total());
  const int reach = scaled(kFar) + 1;
  for (int i = 1; i < count; ++i) {
    if (stats.at<int>(i, cv::CC_STAT_AREA) < least) continue;
    // Within the region's box and its surround only: there may be several.
    const cv::Rect box = cv::Rect(stats.at<int>(i, cv::CC_STAT_LEFT) - reach,
                                  stats.at<int>(i, cv::CC_STAT_TOP) - reach,
                                  stats.at<int>(i, cv::CC_STAT_WIDTH) + 2 * reach,
                                  stats.at<int>(i, cv::CC_STAT_HEIGHT) + 2 * reach) &
                         all;
    const cv::Mat one = labels(box) == i, differing = differs(box);
    cv::dilate(one, near, disc(2 * scaled(kNear) + 1));
    cv::dilate(one, far, disc(2 * scaled(kFar) + 1));
    const cv::Mat surround = far & ~near & ~solid(box);
    const int judged = cv::countNonZero(surround);
    if (judged == 0 || cv::countNonZero(surround & ~differing) < kSurroundExplained * judged)
      continue;
    cv::Mat inside;
    cv::erode(one, inside, disc(2 * scaled(kOutline) + 1));
    const double area = cv::countNonZero(inside);
    if (area == 0 || cv::countNonZero(inside & detail(box)) > kMostDetail * area) continue;
    const cv::Vec3b background = medianColour(picture(box), surround & ~differing);
    cv::Mat distance;
    cv::absdiff(picture(box), cv::Scalar(background[0], background[1], background[2]), distance);
    std::vector<cv::Mat> channels;
    cv::split(distance, channels);
    const cv::Mat onBackground =
        cv::max(cv::max(channels[0], channels[1]), channels[2]) <= kOffBackground;
    cv::Point at;
    cv::minMaxLoc(one, nullptr, nullptr, nullptr, &at);
    candidates.emplace_back(i, parts(box).at<int>(at));
    if (cv::countNonZero(inside & onBackground) <= kMostOnBackground * area)
      person[size_t(candidates.back().second)] = true;
  }
  cv::Mat regions(picture.size(), CV_8UC1, cv::Scalar(0));
  for (const auto& [region, part] : candidates)
    if (person[size_t(part)]) regions |= labels == region;
  const int taken = cv::countNonZero(regions);
  if (taken == 0 || taken > kMostRegions * double(picture.total())) return false;
  // The original must be the slide shown: it explains the rest of the picture.
  cv::dilate(regions, regions, disc(2 * scaled(kOutline) + 1));
  cv::dilate(regions, near, disc(2 * scaled(kNear) + 1));
  if (!originalExplains(picture, fill, ~near, all)) return false;

  cv::Mat distance;
  cv::distanceTransform(regions, distance, cv::DIST_L2, 3);
  const float feather = kFeather * float(scale);
  for (int y = 0; y < picture.rows; ++y) {
    const float* d = distance.ptr<float>(y);
    const cv::Vec3b* f = fill.ptr<cv::Vec3b>(y);
    cv::Vec3b* p = picture.ptr<cv::Vec3b>(y);
    for (int x = 0; x < picture.cols; ++x) {
      if (d[x] <= 0.f) continue;
      const float w = std::min(1.f, d[x] / feather);
      for (int c = 0; c < 3; ++c)
        p[x][c] = cv::saturate_cast<unsigned char>(w * f[x][c] + (1.f - w) * p[x][c]);
    }
  }
  return true;
}

}  // namespace slidetrack
