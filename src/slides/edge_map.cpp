#include <cmath>

#include <opencv2/imgproc.hpp>

#include "features/sampled_smoothing.h"
#include "slides/slide_detector_steps.h"

namespace slidetrack {

void edgeMagnitude(cv::Mat& dst, const cv::Mat& src, int aperture, cv::Mat* dx, cv::Mat* dy) {
  cv::Mat ownDx, ownDy;
  cv::Mat& gx = dx ? *dx : ownDx;
  cv::Mat& gy = dy ? *dy : ownDy;
  // Both derivatives are taken before dst is written, so dst may be src.
  cv::Sobel(src, gx, CV_32F, 1, 0, aperture, 1, 0, cv::BORDER_REPLICATE);
  cv::Sobel(src, gy, CV_32F, 0, 1, aperture, 1, 0, cv::BORDER_REPLICATE);
  for (int y = 0; y < gx.rows; ++y) {
    float* a = gx.ptr<float>(y);
    const float* b = gy.ptr<float>(y);
    const int len = gx.cols * gx.channels();
    for (int x = 0; x < len; ++x) a[x] = std::fabs(a[x]) + std::fabs(b[x]);
  }
  cv::convertScaleAbs(gx, dst, std::sqrt(0.125), 0);
}

void slideDetEdgeMap(SlideChangeDetector* detector, const cv::Mat& frame) {
  cv::Mat& grey = detector->grey;
  cv::Mat& edge = detector->edges[detector->pos];
  cv::cvtColor(frame, grey, cv::COLOR_BGR2GRAY);
  const cv::Size size(detector->slideDetWidth, detector->slideDetHeight);
  edge.create(size, CV_8UC1);
  // Only the pixels the decimation keeps are smoothed: the same map for far less work.
  if (!smoothAndSampleGreyFixed(grey, edge, cv::Size(5, 5))) {
    cv::GaussianBlur(grey, grey, cv::Size(5, 5), 0, 0, cv::BORDER_REPLICATE);
    cv::resize(grey, edge, size, 0, 0, cv::INTER_NEAREST);
  }
  edgeMagnitude(edge, edge, 3, &detector->dx, &detector->dy);
  cv::dilate(edge, edge, cv::Mat(), cv::Point(-1, -1), 1, cv::BORDER_REPLICATE);
}

ChangeMeasure changeSpread(const cv::Mat& diff, cv::Mat* columnSums, cv::Mat* rowSums) {
  ChangeMeasure measure;
  if (diff.empty()) return measure;
  cv::Mat ownColumns, ownRows;
  cv::Mat& columns = columnSums ? *columnSums : ownColumns;
  cv::Mat& rows = rowSums ? *rowSums : ownRows;
  cv::reduce(diff, columns, 0, cv::REDUCE_SUM, CV_32F);
  cv::reduce(diff, rows, 1, cv::REDUCE_SUM, CV_32F);
  // One changed element (255) is enough to hit its row and column.
  cv::threshold(columns, columns, 5, 1, cv::THRESH_BINARY);
  cv::threshold(rows, rows, 5, 1, cv::THRESH_BINARY);
  const int hitColumns = cv::countNonZero(columns);
  const int hitRows = cv::countNonZero(rows);
  const float columnShare = static_cast<float>(hitColumns) / static_cast<float>(diff.cols);
  const float rowShare = static_cast<float>(hitRows) / static_cast<float>(diff.rows);
  measure.spread = columnShare * rowShare;
  measure.fraction =
      static_cast<float>(cv::countNonZero(diff)) / static_cast<float>(diff.rows * diff.cols);
  return measure;
}

bool slideDetIsChange(const ChangeMeasure& measure) {
  return static_cast<double>(measure.spread) > 0.3 && static_cast<double>(measure.fraction) > 0.05;
}

int slideDetWindowLength(const SlideChangeDetector& detector) {
  const int n = detector.pos - detector.slideStart;
  return n > 0 ? n : n + detector.slideDiffBuff;
}

}  // namespace slidetrack
