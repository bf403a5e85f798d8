#include "app/interval_stage.h"

#include "common/error.h"

namespace slidetrack {

void intervalStageCreate(IntervalStage& stage, const ChangeDetectorOptions& options,
                         bool keepPictures) {
  stage.detector = slideDetCreate(options);
  if (!stage.detector)
    throw Error(Error::Kind::kResources, "Cannot create the slide change detector.");
  stage.detector->keepPictures = keepPictures;
}

ChangeDecision intervalStageProcess(IntervalStage& stage, const cv::Mat& presentImage) {
  if (slideDetProcess(stage.detector.get(), presentImage, nullptr) <= 0) return {};
  return {true, &stage.detector->slideImage};
}

const cv::Mat& intervalStageSlideImage(IntervalStage& stage) {
  return slideDetSlideImage(stage.detector.get());
}

}  // namespace slidetrack
