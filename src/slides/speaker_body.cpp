#include "slides/speaker_body.h"

#include <algorithm>
#include <vector>

#include <opencv2/imgproc.hpp>

namespace slidetrack {

namespace {

// Clothing and skin differ from the slide's background by this much at least, and vary
// within a few pixels by less than text and pictures do.
constexpr int kOffBackground = 25;
constexpr double kPlainDeviation = 8.0;
// A template's footer or side bar spans the screen; a person does not.
constexpr double kMaxWidthShare = 0.6;

}  // namespace

void speakerBody(const cv::Mat& work, int background, const cv::Mat& live, cv::Mat& body) {
  const int w = work.cols, h = work.rows;
  cv::Mat f, mean, meanSq;
  work.convertTo(f, CV_32F);
  cv::blur(f, mean, cv::Size(7, 7));
  cv::blur(f.mul(f), meanSq, cv::Size(7, 7));
  cv::Mat variance = meanSq - mean.mul(mean);
  cv::Mat plain, off, offDark, offLight;
  cv::compare(variance, kPlainDeviation * kPlainDeviation, plain, cv::CMP_LT);
  cv::compare(work, background - kOffBackground, offDark, cv::CMP_LT);
  cv::compare(work, background + kOffBackground, offLight, cv::CMP_GT);
  cv::bitwise_or(offDark, offLight, off);
  cv::Mat solid;
  cv::bitwise_and(plain, off, solid);
  // Text strokes and thin rules are no body; a plain interior joins across its outline.
  cv::morphologyEx(solid, solid, cv::MORPH_OPEN,
                   cv::getStructuringElement(cv::MORPH_RECT, cv::Size(5, 5)));
  cv::morphologyEx(solid, solid, cv::MORPH_CLOSE,
                   cv::getStructuringElement(cv::MORPH_ELLIPSE, cv::Size(9, 9)));
  cv::Mat labels, stats, centroids;
  const int n = cv::connectedComponentsWithStats(solid, labels, stats, centroids, 8, CV_32S);
  // A head and shoulders cover this much of the screen at least.
  const int minArea = std::max(16, w * h / 50);
  const int margin = 6;  // the rim the decision leaves out, and a little more
  std::vector<unsigned char> person(n, 0);
  bool any = false;
  for (int k = 1; k < n; ++k) {
    const int y = stats.at<int>(k, cv::CC_STAT_TOP);
    const int cw = stats.at<int>(k, cv::CC_STAT_WIDTH), ch = stats.at<int>(k, cv::CC_STAT_HEIGHT);
    // He stands on the floor, below the screen's bottom edge; a template's side bar runs
    // from the top.
    const bool edge = y + ch >= h - margin && y > margin;
    if (edge && cw <= kMaxWidthShare * w && stats.at<int>(k, cv::CC_STAT_AREA) >= minArea)
      person[k] = 1;
  }
  std::vector<unsigned char> alive(n, 0);
  for (int y = 0; y < h; ++y) {
    const int* label = labels.ptr<int>(y);
    const unsigned char* l = live.ptr<unsigned char>(y);
    for (int x = 0; x < w; ++x)
      if (l[x] && person[label[x]]) alive[label[x]] = 1;
  }
  for (int k = 1; k < n; ++k) {
    person[k] = alive[k];
    any = any || alive[k];
  }
  body = cv::Mat::zeros(work.size(), CV_8UC1);
  if (!any) return;
  for (int y = 0; y < h; ++y) {
    const int* label = labels.ptr<int>(y);
    unsigned char* out = body.ptr<unsigned char>(y);
    for (int x = 0; x < w; ++x) out[x] = person[label[x]] ? 255 : 0;
  }
  cv::dilate(body, body, cv::getStructuringElement(cv::MORPH_ELLIPSE, cv::Size(9, 9)));
}

}  // namespace slidetrack
