#include "app/record_join.h"

#include <opencv2/imgproc.hpp>

namespace slidetrack {

namespace {

bool sureOfOneOriginal(const SlideRecord& earlier, const EndedMatch& earlierEnd,
                       const SlideRecord& later, const EndedMatch& laterEnd, double margin) {
  return earlier.match && later.match && later.match->id == earlier.match->id &&
         earlierEnd.decided == earlier.match && laterEnd.decided == later.match &&
         laterEnd.expected == later.match && earlierEnd.margin >= margin &&
         laterEnd.margin >= margin;
}

}  // namespace

bool recordsShowOneSlide(const SlideRecord& earlier, const EndedMatch& earlierEnd,
                         const SlideRecord& later, const EndedMatch& laterEnd, double margin) {
  return earlier.end + 1 == later.start &&
         sureOfOneOriginal(earlier, earlierEnd, later, laterEnd, margin);
}

bool recordsShowOneSlideUnlessPictures(const SlideRecord& earlier, const EndedMatch& earlierEnd,
                                       const SlideRecord& later, const EndedMatch& laterEnd,
                                       double margin) {
  return earlier.end + 1 == later.start && earlier.match &&
         (!later.match || later.match == earlier.match) && earlierEnd.decided == earlier.match &&
         earlierEnd.margin >= margin && !laterEnd.decided && laterEnd.pictureRefused &&
         laterEnd.leading == earlier.match && laterEnd.expected == earlier.match &&
         laterEnd.margin >= margin;
}

bool recordsAroundShowOneSlide(const SlideRecord& earlier, const EndedMatch& earlierEnd,
                               const SlideRecord& between, const EndedMatch& betweenEnd,
                               const SlideRecord& later, const EndedMatch& laterEnd, double margin,
                               int maxFrames) {
  return earlier.end + 1 == between.start && between.end + 1 == later.start &&
         between.end - between.start + 1 <= maxFrames && !between.match && !betweenEnd.decided &&
         earlier.match && betweenEnd.leading == earlier.match &&
         sureOfOneOriginal(earlier, earlierEnd, later, laterEnd, margin);
}

double pictureDistanceFromOriginal(MatchingStage& stage, const cv::Mat& picture,
                                   const SlideRecord& original) {
  const OriginalSlideLibrary& library = *stage.library;
  int k = 0;
  while (k < library.count && &stage.originals->slides[library.listIndex[k]] != &original) ++k;
  if (k == library.count) return 0.0;
  cv::Mat grey, image;
  cv::cvtColor(picture, grey, cv::COLOR_BGR2GRAY);
  featureImagePrepareKeepingSource(grey, image, stage.features);
  cv::Mat features = cv::Mat::zeros(stage.featureCount, stage.featureLength, CV_32FC1);
  zorGllfGradDistExtract(stage.extractor.get(), image, &features);
  const cv::Mat own =
      library.features.rowRange(k * library.featureCount, (k + 1) * library.featureCount);
  return cv::norm(features, own, cv::NORM_L2SQR);
}

}  // namespace slidetrack
