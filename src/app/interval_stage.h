#pragma once
// Decides where one slide ends and the next begins. The pipeline applies the decision to
// the slide list.

#include <deque>
#include <memory>

#include <opencv2/core.hpp>

#include "app/nearest_resize.h"
#include "slides/change_detector_options.h"
#include "slides/robust_change.h"
#include "slides/slide_detector.h"

namespace slidetrack {

// The picture of the slide shown now as it stood after one processed frame.
struct EarlierPicture {
  int t = -1;
  cv::Mat picture, unseen;  // as taken, and what of it was never seen
};

struct IntervalStage {
  // The default decision; the edge-map detector runs only with slideDetMethod "plain".
  std::unique_ptr<RobustChangeDetector> robust;
  std::unique_ptr<SlideChangeDetector> detector;
  cv::Mat covered;  // the covered map at screen size
  NearestResize coveredResize;
  bool looks = false;   // the ended slide's reference look is kept at each change
  bool filled = false;  // pictures are filled where never seen
  bool keepEarlier = false;
  std::deque<EarlierPicture> earlier;  // after each of the last few processed frames
  cv::Mat earlierShown;                // one of them filled, as handed over
};

// The robust decision's reference of a slide, in colour at the work size: what records are
// compared on when they may join, with or without pictures.
struct SlideLook {
  const cv::Mat* look = nullptr;
  const cv::Mat* unseen = nullptr;   // 255 where it is no slide: never seen, or someone there
  const cv::Mat* content = nullptr;  // 255 on the new content that started it; may be empty
};

struct ChangeDecision {
  bool changed = false;
  // The new slide first showed at the previous processed frame, not at this one.
  bool startedBefore = false;
  const cv::Mat* endedPicture = nullptr;  // the ended slide's picture, when changed
  const cv::Mat* endedUnseen = nullptr;   // what of it was never seen (intervalStageUnseen)
  SlideLook endedLook;                    // with intervalStageKeepLooks
};

// What the slide pictures are made for: kCompared leaves what was never seen of them for the
// comparison to fill (filledPicture with intervalStageUnseen), should it take place.
enum class SlidePictures { kNone, kCompared, kShown };
void intervalStageCreate(IntervalStage& stage, const ChangeDetectorOptions& options,
                         SlidePictures pictures);
// Keeps the ended slide's reference look at each change (robust decision only).
void intervalStageKeepLooks(IntervalStage& stage, bool keep);
ChangeDecision intervalStageProcess(IntervalStage& stage, const cv::Mat& presentImage);
// Another slide starts at the frame just processed, though the decision saw none (the
// matcher told): its reference starts there.
void intervalStageRestart(IntervalStage& stage, const cv::Mat& presentImage);
// With keep, the slide's picture after each remembered frame is kept for a few frames: the
// matcher may end the record some frames back, and its picture must not take in what they
// showed of the next slide (robust decision only).
void intervalStageKeepEarlier(IntervalStage& stage, bool keep);
void intervalStageRemember(IntervalStage& stage, int t);
// The picture of the slide shown now and its unseen map as they were after the last
// remembered frame before t; left as given when none is kept (the slide began at t or later).
void intervalStagePictureBefore(IntervalStage& stage, int t, const cv::Mat*& picture,
                                const cv::Mat*& unseen);
// The frame just processed may show another slide, not yet confirmed.
bool intervalStageChangePending(const IntervalStage& stage);
// Picture of the slide shown now, rebuilt from its recent frames.
const cv::Mat& intervalStageSlideImage(IntervalStage& stage);
// The reference look of the slide shown now; all null unless looks are kept.
SlideLook intervalStageLook(const IntervalStage& stage);
// Map of the picture of the slide shown now, 255 where it was never seen (any size); null
// when the decision does not tell.
const cv::Mat* intervalStageUnseen(const IntervalStage& stage);
// Whether picture is the decision's picture of the slide last ended, or its unseen map:
// those are never written again, only replaced by the next ones.
bool intervalStageKeepsUnchanged(const IntervalStage& stage, const cv::Mat& picture);
// The frame just processed left the visible slide as it was, both as the decision follows it
// (RobustChangeDetector::quiet) and against earlierWork, the work image of an earlier frame
// (intervalStageWork); false when the decision does not tell.
bool intervalStageQuiet(const IntervalStage& stage, const cv::Mat& earlierWork);
// The grey work image of the frame just processed; empty when the decision makes none.
const cv::Mat& intervalStageWork(const IntervalStage& stage);
// Whether the decision makes the grey of every screen image it processes, and that grey of
// the last one.
bool intervalStageMakesGrey(const IntervalStage& stage);
const cv::Mat& intervalStageGrey(const IntervalStage& stage);
// Screen-image-sized map, 255 where a person covers the slide or it has not been seen
// since it appeared; empty when the decision does not tell.
const cv::Mat& intervalStageCoveredMask(IntervalStage& stage, const cv::Size& screenSize);

}  // namespace slidetrack
