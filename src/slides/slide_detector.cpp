#include "slides/slide_detector.h"

#include <opencv2/imgproc.hpp>

#include "slides/slide_detector_steps.h"
#include "slides/temporal_mode.h"

namespace slidetrack {

namespace {

bool validRing(int slideDiffBuff) { return slideDiffBuff >= 1 && slideDiffBuff <= 255; }

bool fitsDetector(const SlideChangeDetector& detector, const cv::Mat& frame) {
  return frame.type() == CV_8UC3 && frame.size() == detector.frameSize;
}

}  // namespace

std::unique_ptr<SlideChangeDetector> slideDetCreate(std::unique_ptr<SlideChangeDetector> detector,
                                                    int slideDetHeight, int slideDetWidth,
                                                    int slideDiffBuff, float slideDiffThresh,
                                                    float slideDistrThresh) {
  // The ring is indexed modulo its length and its windows must fit 8-bit counts.
  if (!validRing(slideDiffBuff) || slideDetHeight < 1 || slideDetWidth < 1) return nullptr;
  if (!detector) detector = std::make_unique<SlideChangeDetector>();
  slideDetReset(detector.get(), nullptr);
  detector->slideDetHeight = slideDetHeight;
  detector->slideDetWidth = slideDetWidth;
  detector->slideDiffBuff = slideDiffBuff;
  detector->slideDiffThresh = slideDiffThresh;
  detector->slideDistrThresh = slideDistrThresh;
  return detector;
}

int slideDetReset(SlideChangeDetector* detector, const cv::Mat* frame) {
  if (!detector) return -1;
  SlideChangeDetector& d = *detector;
  // Holds the frame's data when it is one of the detector's own images.
  const cv::Mat source = frame ? *frame : cv::Mat();
  d.frames.clear();
  d.edges.clear();
  d.slideImage.release();
  d.refEdges.release();
  d.grey.release();
  d.frameSize = cv::Size();
  d.pos = 0;
  d.slideStart = 0;
  if (source.empty() || source.type() != CV_8UC3 || !validRing(d.slideDiffBuff) ||
      d.slideDetHeight < 1 || d.slideDetWidth < 1)
    return -1;

  d.frameSize = source.size();
  if (d.keepPictures) {
    d.frames.resize(d.slideDiffBuff);
    for (cv::Mat& slot : d.frames) slot = source.clone();
    d.slideImage = source.clone();
  }
  d.edges.resize(d.slideDiffBuff);
  d.grey.create(source.size(), CV_8UC1);
  d.edges[0].create(d.slideDetHeight, d.slideDetWidth, CV_8UC1);
  slideDetEdgeMap(detector, source);
  for (int k = 1; k < d.slideDiffBuff; ++k) d.edges[k] = d.edges[0].clone();
  d.refEdges = d.edges[0].clone();
  return 1;
}

int slideDetProcess(SlideChangeDetector* detector, const cv::Mat& frame, double* score) {
  if (!detector) return -1;
  SlideChangeDetector& d = *detector;
  if (d.frameSize.empty()) {
    if (slideDetReset(detector, &frame) < 0) return -1;
  } else if (!fitsDetector(d, frame)) {
    return -1;
  }
  const int L = d.slideDiffBuff;

  slideDetEdgeMap(detector, frame);
  cv::absdiff(d.edges[d.pos], d.refEdges, d.diff);
  cv::threshold(d.diff, d.diff, 30, 255, cv::THRESH_BINARY);
  const ChangeMeasure measure = changeSpread(d.diff, &d.columnSums, &d.rowSums);
  const int n = slideDetWindowLength(d);

  int changed = 0;
  if (slideDetIsChange(measure)) {
    d.edges[d.pos].copyTo(d.refEdges);
    // The ended slide's picture is built before this frame takes its slot: when the
    // window is the whole ring, that slot still holds one of the ended slide's frames.
    if (d.keepPictures) temporalMode(d.frames, L, d.slideImage, d.slideStart, n);
    d.slideStart = d.pos;
    changed = 1;
  } else {
    temporalMode(d.edges, L, d.refEdges, d.slideStart, n);
  }
  if (d.keepPictures) frame.copyTo(d.frames[d.pos]);
  d.pos = (d.pos + 1) % L;
  if (score) *score = measure.spread * measure.fraction;
  return changed;
}

const cv::Mat& slideDetSlideImage(SlideChangeDetector* detector) {
  static const cv::Mat kEmpty;
  if (!detector) return kEmpty;
  SlideChangeDetector& d = *detector;
  if (d.slideImage.empty()) return d.slideImage;
  temporalMode(d.frames, d.slideDiffBuff, d.slideImage, d.slideStart, slideDetWindowLength(d));
  return d.slideImage;
}

void slideDetRelease(std::unique_ptr<SlideChangeDetector>& detector) {
  if (!detector) return;
  slideDetReset(detector.get(), nullptr);
  detector.reset();
}

}  // namespace slidetrack
