#include "app/interval_stage.h"

#include <opencv2/imgproc.hpp>

#include "common/error.h"
#include "slides/clean_slide.h"

namespace slidetrack {

void intervalStageCreate(IntervalStage& stage, const ChangeDetectorOptions& options,
                         SlidePictures pictures) {
  stage.robust.reset();
  stage.detector.reset();
  stage.looks = false;
  const bool keepPictures = pictures != SlidePictures::kNone;
  if (!options.plain()) {
    stage.robust = std::make_unique<RobustChangeDetector>(options);
    stage.robust->keepPictures(keepPictures);
    stage.robust->fillPictures(pictures == SlidePictures::kShown);
    stage.filled = pictures == SlidePictures::kShown;
    return;
  }
  stage.detector = slideDetCreate(options);
  if (!stage.detector)
    throw Error(Error::Kind::kResources, "Cannot create the slide change detector.");
  stage.detector->keepPictures = keepPictures;
}

ChangeDecision intervalStageProcess(IntervalStage& stage, const cv::Mat& presentImage) {
  if (stage.robust) {
    const RobustChangeDetector::Decision d = stage.robust->process(presentImage);
    if (!d.changed) return {};
    stage.earlier.clear();
    ChangeDecision change{
        true, d.framesBack > 0, &stage.robust->endedPicture(), &stage.robust->endedUnseen(), {}};
    if (stage.looks)
      change.endedLook = {&stage.robust->endedLook(), &stage.robust->endedLookUnseen(),
                          &stage.robust->endedContent()};
    return change;
  }
  if (slideDetProcess(stage.detector.get(), presentImage, nullptr) <= 0) return {};
  return {true, false, &stage.detector->slideImage, nullptr, {}};
}

void intervalStageKeepLooks(IntervalStage& stage, bool keep) {
  stage.looks = keep && stage.robust;
  if (stage.robust) stage.robust->keepLooks(stage.looks);
}

void intervalStageRestart(IntervalStage& stage, const cv::Mat& presentImage) {
  if (stage.robust) stage.robust->restart(presentImage);
  stage.earlier.clear();
}

void intervalStageKeepEarlier(IntervalStage& stage, bool keep) {
  stage.keepEarlier = keep && stage.robust;
  stage.earlier.clear();
}

void intervalStageRemember(IntervalStage& stage, int t) {
  // Frames back the matcher ends a record at are few: a run of two clear frames, a blind one.
  constexpr size_t kKept = 4;
  if (!stage.keepEarlier || stage.robust->takenPicture().empty()) return;
  EarlierPicture kept;
  if (stage.earlier.size() == kKept) {
    kept = std::move(stage.earlier.front());
    stage.earlier.pop_front();
  }
  kept.t = t;
  stage.robust->takenPicture().copyTo(kept.picture);
  stage.robust->unseenMask().copyTo(kept.unseen);
  stage.earlier.push_back(std::move(kept));
}

void intervalStagePictureBefore(IntervalStage& stage, int t, const cv::Mat*& picture,
                                const cv::Mat*& unseen) {
  for (auto k = stage.earlier.rbegin(); k != stage.earlier.rend(); ++k) {
    if (k->t >= t) continue;
    if (stage.filled) filledPicture(k->picture, k->unseen, stage.earlierShown);
    picture = stage.filled ? &stage.earlierShown : &k->picture;
    unseen = &k->unseen;
    return;
  }
}

bool intervalStageChangePending(const IntervalStage& stage) {
  return stage.robust && stage.robust->changePending();
}

const cv::Mat& intervalStageSlideImage(IntervalStage& stage) {
  if (stage.robust) return stage.robust->slidePicture();
  return slideDetSlideImage(stage.detector.get());
}

SlideLook intervalStageLook(const IntervalStage& stage) {
  if (!stage.looks) return {};
  return {&stage.robust->referenceLook(), &stage.robust->referenceUnseen(),
          &stage.robust->startContent()};
}

bool intervalStageKeepsUnchanged(const IntervalStage& stage, const cv::Mat& picture) {
  return stage.robust &&
         (&picture == &stage.robust->endedPicture() || &picture == &stage.robust->endedUnseen());
}

const cv::Mat* intervalStageUnseen(const IntervalStage& stage) {
  return stage.robust ? &stage.robust->unseenMask() : nullptr;
}

bool intervalStageQuiet(const IntervalStage& stage, const cv::Mat& earlierWork) {
  return stage.robust && stage.robust->quiet() && stage.robust->unchangedSince(earlierWork);
}

const cv::Mat& intervalStageWork(const IntervalStage& stage) {
  static const cv::Mat kNone;
  return stage.robust ? stage.robust->workImage() : kNone;
}

bool intervalStageMakesGrey(const IntervalStage& stage) { return stage.robust != nullptr; }

const cv::Mat& intervalStageGrey(const IntervalStage& stage) {
  static const cv::Mat kNone;
  return stage.robust ? stage.robust->screenGrey() : kNone;
}

const cv::Mat& intervalStageCoveredMask(IntervalStage& stage, const cv::Size& screenSize) {
  static const cv::Mat kNone;
  if (!stage.robust || stage.robust->coveredMask().empty()) return kNone;
  // Nearest neighbour keeps the map two-valued.
  nearestResize(stage.coveredResize, stage.robust->coveredMask(), stage.covered, screenSize);
  return stage.covered;
}

}  // namespace slidetrack
