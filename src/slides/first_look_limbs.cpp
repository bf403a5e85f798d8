#include "slides/first_look_limbs.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

#include <opencv2/imgproc.hpp>

#include "slides/screen_variance.h"

namespace slidetrack {

namespace {

// Clothing differs from the background by this much at least, and varies by less than this
// over a few screen pixels.
constexpr int kOffBackground = 25;
constexpr double kPlainDeviation = 8.0;
// An arm is thinner than this many work pixels; a slide's bar or block is as thick at least.
constexpr int kArmWidth = 17;
// Work pixels from the screen's edge within which a region reaches it.
constexpr int kEdge = 4;
// An arm's region: at least this many work pixels, at most this share of the screen and of
// either side of it, and this thin on average over its length.
constexpr int kMinPixels = 30;
constexpr double kMaxShare = 0.05;
constexpr double kMaxSide = 0.6;
constexpr int kMeanWidth = 16;
// Work pixels of an arm's blurred outline.
constexpr int kOutline = 2;
// Levels in a channel by which the colour differs from the first look's.
constexpr int kColourChange = 30;
// Work pixels round a place from which the slide's surround is judged, and the levels in a
// channel within which the place then shows it.
constexpr int kAround = 8;
constexpr int kSurround = 40;
// Still pixels of the slide round a place that tell its surround.
constexpr double kRingPixels = 4.0;
// Share of a region's still pixels that must differ from the first look and show the slide
// round them for the arm to have gone.
constexpr double kGoneShare = 0.4;

// 255 where the screen is plain over a few of its pixels (finer than the work image shows: a
// thin sleeve is plain across, text and photographs are not) and off the background, within
// box of the work size.
cv::Mat solidOff(const cv::Mat& screenBgr, const cv::Mat& grey, int background, cv::Rect box) {
  const cv::Mat variance = screenVariance(screenBgr, grey.size(), box);
  const cv::Mat plain = variance < kPlainDeviation * kPlainDeviation;
  cv::Mat off;
  cv::inRange(grey(box), cv::Scalar(background - kOffBackground),
              cv::Scalar(background + kOffBackground), off);
  cv::bitwise_not(off, off);
  cv::bitwise_and(plain, off, off);
  return off;
}

// Of what gone (box of limbs) leaves, the changed, still parts, each on its own, that show the
// slide on a good share of them: like (255) where they do. shown gets those pixels of them.
void partsShown(const cv::Mat& labels, const cv::Mat& still, const cv::Mat& differs,
                const cv::Mat& like, const cv::Mat& gone, cv::Mat& shown) {
  cv::Mat part = (labels > 0) & still & differs & ~gone, partLabels;
  const int n = cv::connectedComponents(part, partLabels, 8, CV_32S);
  if (n <= 1) return;
  std::vector<int> size(size_t(n), 0), alike(size_t(n), 0);
  for (int y = 0; y < part.rows; ++y) {
    const int* l = partLabels.ptr<int>(y);
    const unsigned char* m = like.ptr<unsigned char>(y);
    for (int x = 0; x < part.cols; ++x) {
      ++size[size_t(l[x])];
      alike[size_t(l[x])] += m[x] != 0;
    }
  }
  for (int y = 0; y < part.rows; ++y) {
    const int* l = partLabels.ptr<int>(y);
    const unsigned char* m = like.ptr<unsigned char>(y);
    unsigned char* o = shown.ptr<unsigned char>(y);
    for (int x = 0; x < part.cols; ++x) {
      const size_t k = size_t(l[x]);
      if (k && m[x] && size[k] >= kMinPixels && alike[k] >= kGoneShare * size[k]) o[x] = 255;
    }
  }
}

// The largest of the three channels' values, per pixel.
cv::Mat maxChannel(const cv::Mat& bgr) {
  std::vector<cv::Mat> c;
  cv::split(bgr, c);
  return cv::max(cv::max(c[0], c[1]), c[2]);
}

}  // namespace

void firstLookLimbs(const cv::Mat& screenBgr, const cv::Mat& work, int background,
                    const cv::Mat& body, const cv::Mat& unseen, cv::Mat& limbs) {
  limbs = cv::Mat::zeros(work.size(), CV_8UC1);
  if (background < 0) return;
  cv::Mat solid = solidOff(screenBgr, work, background, cv::Rect(0, 0, work.cols, work.rows)),
          thick;
  cv::morphologyEx(solid, solid, cv::MORPH_OPEN,
                   cv::getStructuringElement(cv::MORPH_RECT, cv::Size(3, 3)));
  cv::morphologyEx(solid, thick, cv::MORPH_OPEN,
                   cv::getStructuringElement(cv::MORPH_ELLIPSE, cv::Size(kArmWidth, kArmWidth)));
  cv::Mat thin;
  cv::bitwise_and(solid, ~thick, thin);
  thin.setTo(0, body);
  if (!unseen.empty()) thin.setTo(0, unseen);
  cv::Mat labels, stats, centroids, reach;
  const int n = cv::connectedComponentsWithStats(thin, labels, stats, centroids, 8, CV_32S);
  if (n <= 1) return;
  // Someone the picture holds as not seen reaches in too.
  cv::bitwise_or(body, unseen.empty() ? body : unseen, reach);
  cv::dilate(reach, reach, cv::Mat(), {-1, -1}, 2);
  const int w = work.cols, h = work.rows;
  std::vector<unsigned char> keep(size_t(n), 0), touches(size_t(n), 0);
  for (int y = 0; y < h; ++y) {
    const int* l = labels.ptr<int>(y);
    const unsigned char* r = reach.ptr<unsigned char>(y);
    for (int x = 0; x < w; ++x)
      if (l[x] && r[x]) touches[size_t(l[x])] = 1;
  }
  bool any = false;
  for (int k = 1; k < n; ++k) {
    const int x = stats.at<int>(k, cv::CC_STAT_LEFT), y = stats.at<int>(k, cv::CC_STAT_TOP);
    const int bw = stats.at<int>(k, cv::CC_STAT_WIDTH), bh = stats.at<int>(k, cv::CC_STAT_HEIGHT);
    const int area = stats.at<int>(k, cv::CC_STAT_AREA);
    const bool edge = x < kEdge || y < kEdge || x + bw > w - kEdge || y + bh > h - kEdge;
    keep[size_t(k)] = (edge || touches[size_t(k)]) && area >= kMinPixels &&
                      area <= kMaxShare * w * h && bw <= kMaxSide * w && bh <= kMaxSide * h &&
                      area <= kMeanWidth * std::max(bw, bh);
    any = any || keep[size_t(k)];
  }
  if (!any) return;
  for (int y = 0; y < h; ++y) {
    const int* l = labels.ptr<int>(y);
    unsigned char* out = limbs.ptr<unsigned char>(y);
    for (int x = 0; x < w; ++x) out[x] = keep[size_t(l[x])] ? 255 : 0;
  }
  // With the blur of its outline, which is not plain.
  cv::dilate(limbs, limbs, cv::Mat(), {-1, -1}, kOutline);
  limbs.setTo(0, body);
}

void limbsGone(const cv::Mat& limbs, const LimbLooks& looks, const cv::Mat& still,
               const cv::Mat& changed, cv::Mat& gone, cv::Mat* parts) {
  gone = cv::Mat::zeros(limbs.size(), CV_8UC1);
  const cv::Rect box = cv::boundingRect(limbs);
  if (box.empty()) return;
  // The box and the slide round it that the surround is taken from.
  const cv::Rect wide = (box + cv::Size(2 * kAround, 2 * kAround) - cv::Point(kAround, kAround)) &
                        cv::Rect(0, 0, limbs.cols, limbs.rows);
  const cv::Rect in(box.tl() - wide.tl(), box.size());
  cv::Mat differs;
  cv::absdiff(looks.colour(box), looks.firstColour(box), differs);
  differs = maxChannel(differs) > kColourChange;
  cv::bitwise_or(differs, changed(box), differs);
  // What the slide shows round each place, from the screen round the limbs where it shows what
  // the picture took: an arm gone leaves the slide's background or picture going on, another
  // arm come brings its own colour, also where it covers the screen round them.
  cv::Mat ring, agree, weight, mean, near;
  cv::dilate(limbs(wide), ring, cv::Mat(), {-1, -1}, kOutline);
  cv::bitwise_or(ring, looks.unseen(wide), ring);
  cv::absdiff(looks.colour(wide), looks.picture(wide), agree);
  cv::bitwise_or(ring, maxChannel(agree) > kSurround, ring);
  cv::bitwise_not(ring, ring);
  ring.convertTo(weight, CV_32F, 1.0 / 255);
  looks.colour(wide).convertTo(mean, CV_32FC3);
  cv::Mat weight3;
  cv::merge(std::vector<cv::Mat>{weight, weight, weight}, weight3);
  mean = mean.mul(weight3);
  const cv::Size window(2 * kAround + 1, 2 * kAround + 1);
  cv::boxFilter(mean, mean, -1, window, {-1, -1}, false);
  cv::boxFilter(weight, weight, -1, window, {-1, -1}, false);
  cv::merge(std::vector<cv::Mat>{weight, weight, weight}, weight3);
  cv::divide(mean(in), weight3(in) + 1e-3, mean);
  mean.convertTo(mean, CV_8UC3);
  cv::absdiff(looks.colour(box), mean, near);
  near = (maxChannel(near) <= kSurround) & (weight(in) >= kRingPixels);
  cv::Mat labels;
  const int n = cv::connectedComponents(limbs(box), labels, 8, CV_32S);
  std::vector<int> held(size_t(n), 0), shown(size_t(n), 0);
  for (int y = 0; y < box.height; ++y) {
    const int* l = labels.ptr<int>(y);
    const unsigned char* s = still.ptr<unsigned char>(y + box.y) + box.x;
    const unsigned char* d = differs.ptr<unsigned char>(y);
    const unsigned char* m = near.ptr<unsigned char>(y);
    for (int x = 0; x < box.width; ++x) {
      if (!l[x] || !s[x]) continue;
      ++held[size_t(l[x])];
      shown[size_t(l[x])] += d[x] && m[x];
    }
  }
  // In such a region, what shows the slide round it now, and what did not change.
  cv::Mat out = gone(box);
  for (int y = 0; y < box.height; ++y) {
    const int* l = labels.ptr<int>(y);
    const unsigned char* s = still.ptr<unsigned char>(y + box.y) + box.x;
    const unsigned char* d = differs.ptr<unsigned char>(y);
    const unsigned char* m = near.ptr<unsigned char>(y);
    unsigned char* o = out.ptr<unsigned char>(y);
    for (int x = 0; x < box.width; ++x) {
      const size_t k = size_t(l[x]);
      o[x] =
          k && s[x] && (m[x] || !d[x]) && held[k] >= kMinPixels && shown[k] >= kGoneShare * held[k]
              ? 255
              : 0;
    }
  }
  if (!parts) return;
  *parts = cv::Mat::zeros(limbs.size(), CV_8UC1);
  if (looks.background < 0) return;
  // A sleeve is plain and off the background, with the blur of its outline; the slide's text
  // and background are not.
  cv::Mat sleeve = solidOff(looks.screen, looks.work, looks.background, box), like;
  cv::dilate(sleeve, sleeve, cv::Mat(), {-1, -1}, kOutline);
  cv::bitwise_or(~sleeve, near, like);
  cv::Mat partsBox = (*parts)(box);
  partsShown(labels, still(box), differs, like, out, partsBox);
}

}  // namespace slidetrack
