#pragma once
// Inner steps of the slide change detector, open to tests.

#include <opencv2/core.hpp>

#include "slides/slide_detector.h"

namespace slidetrack {

// Edge map of the frame into detector->edges[detector->pos]: grey, 5x5 Gaussian, nearest
// resize to the edge map size, edge magnitude, one 3x3 dilation.
void slideDetEdgeMap(SlideChangeDetector* detector, const cv::Mat& frame);
// dst <- (|d/dx| + |d/dy|) * sqrt(0.125), saturated to 8 bits; dst may be src. dx and dy,
// when given, are reused as the derivative buffers.
void edgeMagnitude(cv::Mat& dst, const cv::Mat& src, int aperture, cv::Mat* dx = nullptr,
                   cv::Mat* dy = nullptr);

struct ChangeMeasure {
  float spread = 0.f;    // share of hit columns x share of hit rows
  float fraction = 0.f;  // share of changed elements
};
// diff: 8-bit map holding 0 and 255. The sums buffers, when given, are reused.
ChangeMeasure changeSpread(const cv::Mat& diff, cv::Mat* columnSums = nullptr,
                           cv::Mat* rowSums = nullptr);
// The fixed limits of a slide change; float32 values against double constants, strictly.
bool slideDetIsChange(const ChangeMeasure& measure);
// Length of the current slide's window: slots slideStart .. pos-1, the whole ring when
// pos has come round to slideStart.
int slideDetWindowLength(const SlideChangeDetector& detector);

}  // namespace slidetrack
