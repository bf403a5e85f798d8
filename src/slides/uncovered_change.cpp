// The robust change decision's look at what the speaker uncovers: a part of his mask that
// no longer reaches the screen's edge is held only because it overlaps his last mask; once
// it holds still and shows no body, it is the slide he stood in front of, and where it
// differs from what the reference saw there before he came, the slide changed behind him.

#include <vector>

#include <opencv2/imgproc.hpp>

#include "slides/robust_change.h"
#include "slides/speaker_body.h"

namespace slidetrack {

bool RobustChangeDetector::uncoveredChange(int& hit) {
  if (options_.slideChangeUncovered == 0) return false;
  cv::Mat labels, stats, centroids;
  const int n = cv::connectedComponentsWithStats(person_, labels, stats, centroids, 8, CV_32S);
  const int w = person_.cols, h = person_.rows;
  std::vector<unsigned char> apart(size_t(n), 0);
  bool any = false;
  for (int k = 1; k < n; ++k) {
    const int x = stats.at<int>(k, cv::CC_STAT_LEFT), y = stats.at<int>(k, cv::CC_STAT_TOP);
    const int cw = stats.at<int>(k, cv::CC_STAT_WIDTH), ch = stats.at<int>(k, cv::CC_STAT_HEIGHT);
    apart[size_t(k)] = !(x <= 1 || x + cw >= w - 1 || y + ch >= h - 1);
    any = any || apart[size_t(k)];
  }
  if (!any) return false;
  cv::Mat left = cv::Mat::zeros(person_.size(), CV_8UC1), him = left.clone();
  for (int y = 0; y < h; ++y) {
    const int* l = labels.ptr<int>(y);
    unsigned char* out = left.ptr<unsigned char>(y);
    unsigned char* on = him.ptr<unsigned char>(y);
    for (int x = 0; x < w; ++x) {
      out[x] = l[x] && apart[size_t(l[x])] ? 255 : 0;
      on[x] = l[x] && !apart[size_t(l[x])] ? 255 : 0;
    }
  }
  // Pieces of him that his mask broke apart lie next to him; what he uncovered he has
  // stepped away from.
  const int gap = options_.slideCellSize;
  cv::dilate(him, him,
             cv::getStructuringElement(cv::MORPH_RECT, cv::Size(2 * gap + 1, 2 * gap + 1)));
  left.setTo(0, him);
  // Not where anything moves, nor a body, nor where the reference never saw the slide.
  cv::Mat motion, body, live;
  cv::dilate(moving_, motion, cv::getStructuringElement(cv::MORPH_RECT, cv::Size(9, 9)));
  cv::bitwise_or(moving_, covered_, live);
  left.setTo(0, motion);
  // A body in the reference there is the speaker it took in, not the slide.
  for (const cv::Mat* look : {&work_, &ref_}) {
    speakerBody(*look, background_, live, body);
    left.setTo(0, body);
  }
  left.setTo(0, hole_);
  left.setTo(0, filled_);
  left.setTo(0, unseen_);
  cv::Mat shown;
  cv::bitwise_and(changed_, left, shown);
  Cells uncovered;
  countCells(shown, cv::Mat::zeros(shown.size(), CV_8UC1), uncovered);
  int count = 0;
  for (int c : uncovered.counts) count += c >= cellPixels();
  if (count < options_.slideChangeCells) return false;
  covered_.setTo(0, left);
  person_.setTo(0, left);
  countCells(changed_, covered_, cells_);
  hit = 0;
  for (int c : cells_.counts) hit += c >= cellPixels();
  return hit >= options_.slideChangeCells;
}

}  // namespace slidetrack
