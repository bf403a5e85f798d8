#include "app/matching_stage.h"

#include <cstdio>

#include <opencv2/imgproc.hpp>

#include "app/display.h"
#include "app/interval_stage.h"
#include "matching/original_library.h"
#include "matching/readable_originals.h"
#include "results/results_xml.h"
#include "screen/presentation_settings.h"

namespace slidetrack {

bool matchingEnabled(const MatchingStage& stage) { return stage.library != nullptr; }

SlideMatchOptions matchingOptions(const PresentationSettings& s) {
  SlideMatchOptions options;
  options.method = slideMatchMethodFromName(s.matchMethod);
  options.limit = s.matchLimit;
  options.margin = s.matchMargin;
  options.fit = s.matchFit;
  return options;
}

void matchingStageInit(MatchingStage& stage, const PresentationSettings& s) {
  stage.extractor = zorGllfGradDistCreate();
  // About 100 x locWndOverlap window steps across the feature image.
  const float stepRatio =
      static_cast<float>((static_cast<double>(s.localWidth) - s.locWndSize) /
                         (s.locWndSize * 100 * static_cast<double>(s.locWndOverlap)));
  zorGllfGradDistInit(stage.extractor.get(), 2, s.gradBinSize, stepRatio, s.locWndSize);
  stage.featureCount =
      zorGllfGradDistGetSize(stage.extractor.get(), s.localHeight, s.localWidth, -1);
  stage.featureLength = zorGllfGradDistGetLength(stage.extractor.get());
  stage.featureMatrix = cv::Mat::zeros(stage.featureCount, stage.featureLength, CV_32FC1);
}

bool matchingStageLoad(MatchingStage& stage, const std::optional<std::string>& originalsPath,
                       const PresentationSettings& settings, Display& display) {
  if (!originalsPath) return true;
  stage.originals = slidesLoadFromXml(nullptr, originalsPath->c_str());
  if (!stage.originals || stage.originals->slides.empty()) {
    std::fprintf(stderr,
                 "Warning: no original slides could be read from '%s'; running without "
                 "matching.\n",
                 originalsPath->c_str());
    stage.originals.reset();
    return true;
  }
  ProgressViewer viewer;
  if (display.enabled()) {
    viewer = [&display](const cv::Mat& picture) {
      display.show("Progress", picture);
      return display.waitKey(10);
    };
  }
  bool aborted = false;
  std::unique_ptr<OriginalSlideLibrary> built = originalLibraryBuild(
      stage.originals.get(), stage.extractor.get(), &settings, viewer, &aborted);
  display.close("Progress");
  if (aborted) return false;
  if (built) {
    // Such an original can never be matched: the user should know before trusting the run.
    for (int k : built->unread) {
      const SlideRecord& original = stage.originals->slides[k];
      std::fprintf(stderr,
                   "Warning: the original slide '%s' listed in '%s' cannot be read; it takes "
                   "no part in the matching.\n",
                   original.src ? original.src->c_str() : "", originalsPath->c_str());
    }
  }
  ReadableOriginals readable = originalLibraryKeepReadable(std::move(built));
  stage.library = std::move(readable.library);
  stage.listIndex = std::move(readable.listIndex);
  if (stage.library) {
    display.open("Slide");
    frameMatcherInit(stage.matcher, *stage.library, matchingOptions(settings));
  }
  return true;
}

void matchingStageReset(MatchingStage& stage) {
  if (matchingEnabled(stage)) frameMatcherReset(stage.matcher);
}

void matchingStageProcess(MatchingStage& stage, IntervalStage& intervals, int t,
                          const cv::Mat& presentGray, const PresentationSettings& settings) {
  stage.matchDecided = false;
  if (!matchingEnabled(stage)) return;
  featureImagePrepareKeepingSource(presentGray, stage.featureImage, settings);
  zorGllfGradDistExtract(stage.extractor.get(), stage.featureImage, &stage.featureMatrix);
  const FrameMatch match = frameMatcherAdd(stage.matcher, *stage.library, *stage.extractor,
                                           stage.featureImage, stage.featureMatrix);
  stage.matchIndex = stage.listIndex[match.index];
  stage.matchScore = match.confidence;
  stage.matchDecided = match.matched;
  const SlideRecord& matched = stage.originals->slides[stage.matchIndex];
  if (!stage.matchDecided) {
    std::printf("\t -NoMatch[% 6d:% 5.3f] ", matched.id, stage.matchScore);
    return;
  }
  SlideRecord* record = intervals.currentRecord;
  if (record->match && record->match->id != matched.id) {
    std::printf("\t -> SlideMatchChange[% 6d -> % 6d:% 5.3f] ", record->match->id, matched.id,
                stage.matchScore);
    intervalStageCloseRecord(intervals, t, &intervalStageSlideImage(intervals));
    intervalStageOpenRecord(intervals, t, stage.matchScore);
    record = intervals.currentRecord;
  } else {
    std::printf("\t +SlideMatch[% 6d:% 5.3f] ", matched.id, stage.matchScore);
  }
  record->match = &matched;
  record->confidence = stage.matchScore;
}

cv::Mat matchingStageDisplayImage(const MatchingStage& stage, const IntervalStage& intervals,
                                  const PresentationSettings& settings) {
  if (!stage.matchDecided || !intervals.currentRecord || !intervals.currentRecord->match) return {};
  const SlideRecord* match = intervals.currentRecord->match;
  if (!match->src) return {};
  cv::Mat original = originalPictureRead(*match->src);
  if (original.empty()) return {};
  cv::Mat shown;
  cv::resize(original, shown, cv::Size(settings.presentWidth, settings.presentHeight), 0, 0,
             cv::INTER_AREA);
  return shown;
}

}  // namespace slidetrack
