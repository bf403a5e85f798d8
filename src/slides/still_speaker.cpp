#include "slides/still_speaker.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

#include <opencv2/imgproc.hpp>

namespace slidetrack {

namespace {

// A bar runs on beside the mask for this share of the screen's width at least, within this
// many grey levels; further than this from the background grey, as a bar's fill is.
constexpr int kRunOnShare = 20;
constexpr int kBarSpread = 12;
constexpr int kOffBackground = 20;

// The grey a bar has that runs on from x over runOn pixels away from the mask (step -1:
// leftwards), or -1 when none does.
int barRunningOn(const unsigned char* grey, const unsigned char* mask, int cols, int x, int step,
                 int runOn, int commonGrey) {
  const int v = grey[x];
  if (std::abs(v - commonGrey) <= kOffBackground) return -1;
  for (int k = 0; k < runOn; ++k, x += step)
    if (x < 0 || x >= cols || mask[x] || std::abs(grey[x] - v) > kBarSpread) return -1;
  return v;
}

}  // namespace

void trimBarsRunningOn(const cv::Mat& grey, int commonGrey, cv::Mat& mask) {
  const int runOn = std::max(4, grey.cols / kRunOnShare);
  for (int y = 0; y < grey.rows; ++y) {
    const unsigned char* g = grey.ptr<unsigned char>(y);
    unsigned char* m = mask.ptr<unsigned char>(y);
    for (int x = 0; x < grey.cols;) {
      if (!m[x]) {
        ++x;
        continue;
      }
      const int a = x;
      while (x < grey.cols && m[x]) ++x;
      const int b = x;
      const int left = a > 0 ? barRunningOn(g, m, grey.cols, a - 1, -1, runOn, commonGrey) : -1;
      const int right = b < grey.cols ? barRunningOn(g, m, grey.cols, b, 1, runOn, commonGrey) : -1;
      for (int k = a; left >= 0 && k < b && std::abs(g[k] - left) <= kBarSpread; ++k) m[k] = 0;
      for (int k = b - 1; right >= 0 && k >= a && m[k] && std::abs(g[k] - right) <= kBarSpread; --k)
        m[k] = 0;
    }
  }
}

void standingThrough(const ScreenLook& now, int background, int commonGrey, const cv::Mat& differs,
                     const cv::Mat& covered, bool upperGrey, cv::Mat& body) {
  // The new slide's own shapes differ from the old one's; he does not, so he touches what
  // stayed, as everything unchanged does.
  cv::Mat same;
  cv::bitwise_not(differs, same);
  speakerInLook(now, background, commonGrey, same, covered, body, upperGrey);
  body.setTo(0, differs);
  // The title bar behind his head, or a box's header beside him, is the slide's, not his.
  trimBarsRunningOn(now.grey, commonGrey, body);
  // He stands in front of the screen, so he reaches its lower edge: the slide's bars that stay
  // from one slide to the next, along its top or sides, do not.
  cv::Mat labels;
  const int n = cv::connectedComponents(body, labels, 8, CV_32S);
  std::vector<unsigned char> standing(size_t(n), 0);
  const int* bottom = labels.ptr<int>(labels.rows - 1);
  for (int x = 0; x < labels.cols; ++x) standing[size_t(bottom[x])] = bottom[x] > 0;
  for (int y = 0; y < labels.rows; ++y) {
    const int* l = labels.ptr<int>(y);
    unsigned char* b = body.ptr<unsigned char>(y);
    for (int x = 0; x < labels.cols; ++x) b[x] = standing[size_t(l[x])] ? 255 : 0;
  }
}

}  // namespace slidetrack
