#include <opencv2/imgproc.hpp>

#include "features/grad_dist.h"
#include "features/sampled_smoothing.h"

namespace slidetrack {

namespace {

void smoothAndShrink(cv::Mat& grey, cv::Mat& target, double sx, double sy) {
  // The blur is the only anti-aliasing before nearest-neighbour decimation.
  cv::GaussianBlur(grey, grey, cv::Size(0, 0), sx, sy, cv::BORDER_REPLICATE);
  cv::resize(grey, target, target.size(), 0, 0, cv::INTER_NEAREST);
}

}  // namespace

namespace {

// Both entry points; inPlace smooths a single-channel source itself.
cv::Mat& prepare(const cv::Mat& source, cv::Mat* inPlace, cv::Mat& target,
                 const FeatureOptions& settings) {
  if (source.empty() || settings.localWidth < 1 || settings.localHeight < 1) return target;
  target.create(settings.localHeight, settings.localWidth, CV_8UC1);
  const double sx = static_cast<double>(source.cols) / settings.localWidth;
  const double sy = static_cast<double>(source.rows) / settings.localHeight;
  // Kept between calls so a steady run of same-sized images allocates nothing.
  thread_local cv::Mat grey;
  if (source.depth() != CV_8U || (source.channels() != 1 && source.channels() != 3)) {
    target.setTo(0);
  } else if (source.channels() == 1 && inPlace) {
    smoothAndShrink(*inPlace, target, sx, sy);
  } else if (source.channels() == 1) {
    if (smoothAndSampleGrey(source, target, sx, sy)) return target;
    cv::Mat work = source;
    if (source.isSubmatrix()) {
      // The library smooths a part using the pixels around it, so copy the whole.
      cv::Size whole;
      cv::Point offset;
      source.locateROI(whole, offset);
      cv::Mat(whole, source.type(), const_cast<uchar*>(source.datastart), source.step).copyTo(grey);
      work = grey(cv::Rect(offset, source.size()));
    } else {
      source.copyTo(grey);
      work = grey;
    }
    smoothAndShrink(work, target, sx, sy);
  } else {
    cv::cvtColor(source, grey, cv::COLOR_BGR2GRAY);
    // The grey copy is ours, so only the pixels the decimation keeps need smoothing.
    if (!smoothAndSampleGrey(grey, target, sx, sy)) smoothAndShrink(grey, target, sx, sy);
  }
  return target;
}

}  // namespace

cv::Mat& featureImagePrepare(cv::Mat& source, cv::Mat& target, const FeatureOptions& settings) {
  return prepare(source, &source, target, settings);
}

cv::Mat& featureImagePrepareKeepingSource(const cv::Mat& source, cv::Mat& target,
                                          const FeatureOptions& settings) {
  return prepare(source, nullptr, target, settings);
}

}  // namespace slidetrack
