#include <opencv2/imgproc.hpp>

#include "grad_dist.h"
#include "presentation_settings.h"
#include "sampled_smoothing.h"

namespace {

void smoothAndShrink(cv::Mat& grey, cv::Mat& target, double sx, double sy) {
  // The blur is the only anti-aliasing before nearest-neighbour decimation.
  cv::GaussianBlur(grey, grey, cv::Size(0, 0), sx, sy, cv::BORDER_REPLICATE);
  cv::resize(grey, target, target.size(), 0, 0, cv::INTER_NEAREST);
}

}  // namespace

cv::Mat& featureImagePrepare(cv::Mat& source, cv::Mat& target,
                             const PresentationSettings& settings) {
  if (source.empty() || settings.localWidth < 1 || settings.localHeight < 1) return target;
  target.create(settings.localHeight, settings.localWidth, CV_8UC1);
  const double sx = static_cast<double>(source.cols) / settings.localWidth;
  const double sy = static_cast<double>(source.rows) / settings.localHeight;
  if (source.depth() != CV_8U) {
    target.setTo(0);
  } else if (source.channels() == 1) {
    smoothAndShrink(source, target, sx, sy);
  } else if (source.channels() == 3) {
    // Kept between calls so a steady run of same-sized colour images allocates nothing.
    thread_local cv::Mat grey;
    cv::cvtColor(source, grey, cv::COLOR_BGR2GRAY);
    // The grey copy is ours, so only the pixels the decimation keeps need smoothing.
    if (!smoothAndSampleGrey(grey, target, sx, sy)) smoothAndShrink(grey, target, sx, sy);
  } else {
    target.setTo(0);
  }
  return target;
}
