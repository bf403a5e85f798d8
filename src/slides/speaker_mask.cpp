#include "slides/speaker_mask.h"

#include <algorithm>
#include <vector>

#include <opencv2/imgproc.hpp>

namespace slidetrack {

void speakerMask(const cv::Mat& suspect, const cv::Mat& previous, cv::Mat& covered) {
  const int w = suspect.cols, h = suspect.rows;
  // Joins a body whose clothing matches the slide in places into one region.
  cv::Mat joined, labels, stats, centroids;
  // Thin seams (an outline the slide shifted into, the rim of an old hole) are dropped first.
  cv::morphologyEx(suspect, joined, cv::MORPH_OPEN, cv::Mat());
  cv::morphologyEx(joined, joined, cv::MORPH_CLOSE,
                   cv::getStructuringElement(cv::MORPH_ELLIPSE, cv::Size(7, 7)));
  const int n = cv::connectedComponentsWithStats(joined, labels, stats, centroids, 8, CV_32S);
  // A head and shoulders at the far side of a steep view still cover this much.
  const int minArea = std::max(16, w * h / 400);
  std::vector<unsigned char> person(n, 0);
  bool any = false;
  for (int k = 1; k < n; ++k) {
    const int x = stats.at<int>(k, cv::CC_STAT_LEFT), y = stats.at<int>(k, cv::CC_STAT_TOP);
    const int cw = stats.at<int>(k, cv::CC_STAT_WIDTH), ch = stats.at<int>(k, cv::CC_STAT_HEIGHT);
    const bool edge = x <= 1 || x + cw >= w - 1 || y + ch >= h - 1;
    if (edge && stats.at<int>(k, cv::CC_STAT_AREA) >= minArea) person[k] = any = true;
  }
  if (previous.size() == suspect.size()) {
    for (int y = 0; y < h; ++y) {
      const int* label = labels.ptr<int>(y);
      const unsigned char* before = previous.ptr<unsigned char>(y);
      for (int x = 0; x < w; ++x)
        if (before[x] && label[x]) person[label[x]] = any = true;
    }
  }
  covered.create(suspect.size(), CV_8UC1);
  covered.setTo(0);
  if (!any) return;
  for (int y = 0; y < h; ++y) {
    const int* label = labels.ptr<int>(y);
    unsigned char* out = covered.ptr<unsigned char>(y);
    for (int x = 0; x < w; ++x) out[x] = person[label[x]] ? 255 : 0;
  }
  cv::dilate(covered, covered, cv::getStructuringElement(cv::MORPH_ELLIPSE, cv::Size(5, 5)));
}

}  // namespace slidetrack
