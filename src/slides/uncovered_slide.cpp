#include "slides/uncovered_slide.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

#include <opencv2/imgproc.hpp>

namespace slidetrack {

namespace {

// Levels in every channel from the slide's background colour within which a pixel shows
// it: clothing of the background's brightness has another hue.
constexpr int kBackground = 20;
// A region is the slide uncovered when this share of it lies on the background now, and
// its first look did so at most on kFirstShare: a speaker who walked in over plain slide
// turns it the other way round.
constexpr double kNowShare = 0.35;
constexpr double kFirstShare = 0.4;
// A first look fine-grained on more of the region than this was the slide's print or
// figure, now behind clothing of its background's colour; a sleeve is plain.
constexpr double kFineShare = 0.25;
// Work pixels a region needs: noise along text is no region.
constexpr int kMinPixels = 12;

bool near(const cv::Vec3b& a, const cv::Vec3i& b) {
  return std::abs(a[0] - b[0]) <= kBackground && std::abs(a[1] - b[1]) <= kBackground &&
         std::abs(a[2] - b[2]) <= kBackground;
}

// The colour most of the taken pixels share: the mean of those near the commonest grey.
bool backgroundColour(const cv::Mat& colour, const cv::Mat& taken, cv::Vec3i& background) {
  int histogram[256] = {0}, count = 0;
  // Each taken pixel's grey is worked out once, for both passes.
  thread_local cv::Mat greys;
  greys.create(colour.size(), CV_8UC1);
  for (int y = 0; y < colour.rows; ++y) {
    const cv::Vec3b* c = colour.ptr<cv::Vec3b>(y);
    const unsigned char* t = taken.ptr<unsigned char>(y);
    unsigned char* g = greys.ptr<unsigned char>(y);
    for (int x = 0; x < colour.cols; ++x) {
      if (!t[x]) continue;
      g[x] = static_cast<unsigned char>((c[x][0] + c[x][1] + c[x][2]) / 3);
      ++histogram[g[x]];
      ++count;
    }
  }
  // Too little of the slide seen now to know its background.
  if (count < int(colour.total() / 4)) return false;
  const int grey = int(std::max_element(histogram, histogram + 256) - histogram);
  cv::Vec3d sum(0, 0, 0);
  int n = 0;
  for (int y = 0; y < colour.rows; ++y) {
    const cv::Vec3b* c = colour.ptr<cv::Vec3b>(y);
    const unsigned char* t = taken.ptr<unsigned char>(y);
    const unsigned char* g = greys.ptr<unsigned char>(y);
    for (int x = 0; x < colour.cols; ++x)
      if (t[x] && std::abs(g[x] - grey) <= 2) {
        sum += cv::Vec3d(c[x][0], c[x][1], c[x][2]);
        ++n;
      }
  }
  for (int k = 0; k < 3; ++k) background[k] = int(sum[k] / std::max(1, n) + 0.5);
  return true;
}

}  // namespace

void uncoveredSlide(const cv::Mat& wholeColour, const cv::Mat& wholeFirst,
                    const cv::Mat& wholeCandidates, const cv::Mat& wholeFine, const cv::Mat& taken,
                    const cv::Mat& wholeHis, cv::Mat& wholeUncovered) {
  wholeUncovered = cv::Mat::zeros(wholeCandidates.size(), CV_8UC1);
  cv::Vec3i background;
  if (cv::countNonZero(wholeCandidates) < kMinPixels ||
      !backgroundColour(wholeColour, taken, background))
    return;
  // Only the box round the candidates is looked at.
  const cv::Rect box = cv::boundingRect(wholeCandidates);
  const cv::Mat colour = wholeColour(box), firstColour = wholeFirst(box),
                candidates = wholeCandidates(box), firstFine = wholeFine(box), his = wholeHis(box);
  cv::Mat uncovered = wholeUncovered(box);
  cv::Mat labels;
  const int n = cv::connectedComponents(candidates, labels, 8, CV_32S);
  std::vector<int> size(size_t(n), 0), now(size_t(n), 0), first(size_t(n), 0), touch(size_t(n), 0),
      fine(size_t(n), 0);
  for (int y = 0; y < colour.rows; ++y) {
    const int* l = labels.ptr<int>(y);
    const cv::Vec3b* c = colour.ptr<cv::Vec3b>(y);
    const cv::Vec3b* f = firstColour.ptr<cv::Vec3b>(y);
    const unsigned char* h = his.ptr<unsigned char>(y);
    const unsigned char* g = firstFine.ptr<unsigned char>(y);
    for (int x = 0; x < colour.cols; ++x) {
      if (!l[x]) continue;
      ++size[size_t(l[x])];
      touch[size_t(l[x])] += h[x] != 0;
      fine[size_t(l[x])] += g[x] != 0;
      now[size_t(l[x])] += near(c[x], background);
      first[size_t(l[x])] += near(f[x], background);
    }
  }
  std::vector<unsigned char> keep(size_t(n), 0);
  for (size_t i = 1; i < size_t(n); ++i)
    keep[i] = touch[i] > 0 && fine[i] <= kFineShare * size[i] && size[i] >= kMinPixels &&
              now[i] >= kNowShare * size[i] && first[i] <= kFirstShare * size[i];
  // Within such a region only what shows the background: whatever else it holds may be his.
  for (int y = 0; y < colour.rows; ++y) {
    const int* l = labels.ptr<int>(y);
    const cv::Vec3b* c = colour.ptr<cv::Vec3b>(y);
    unsigned char* u = uncovered.ptr<unsigned char>(y);
    for (int x = 0; x < colour.cols; ++x)
      u[x] = keep[size_t(l[x])] && near(c[x], background) ? 255 : 0;
  }
}

}  // namespace slidetrack
