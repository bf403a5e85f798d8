#include "app/matching_stage.h"

#include <cstdio>

#include <opencv2/imgproc.hpp>

#include "app/display.h"
#include "app/interval_stage.h"
#include "common/error.h"
#include "matching/original_library.h"
#include "matching/slide_matcher.h"
#include "pictures/picture_read.h"
#include "results/results_xml.h"
#include "screen/presentation_settings.h"

namespace slidetrack {

bool matchingEnabled(const MatchingStage& stage) { return stage.library != nullptr; }

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
  stage.library = originalLibraryBuild(stage.originals.get(), stage.extractor.get(), &settings,
                                       viewer, &aborted);
  display.close("Progress");
  if (aborted) return false;
  if (stage.library) {
    // Such an original can never be matched: the user should know before trusting the run.
    for (size_t i = 0; i < stage.library->unread.size(); ++i) {
      const SlideRecord& original = stage.originals->slides[stage.library->unread[i]];
      std::fprintf(stderr,
                   "Warning: the original slide '%s' listed in '%s' cannot be read (%s); it "
                   "takes no part in the matching.\n",
                   original.src ? original.src->c_str() : "", originalsPath->c_str(),
                   stage.library->unreadCauses[i].c_str());
    }
    display.open("Slide");
    stage.matchAccumulator = cv::Mat::zeros(1, stage.library->count, CV_32FC1);
  }
  return true;
}

void matchingStageReset(MatchingStage& stage) {
  if (!stage.matchAccumulator.empty()) stage.matchAccumulator.setTo(0);
}

void matchingStageProcess(MatchingStage& stage, IntervalStage& intervals, int t,
                          const cv::Mat& presentGray, const PresentationSettings& settings) {
  stage.matchDecided = false;
  if (!matchingEnabled(stage)) return;
  featureImagePrepareKeepingSource(presentGray, stage.featureImage, settings);
  zorGllfGradDistExtract(stage.extractor.get(), stage.featureImage, &stage.featureMatrix);
  slideMatchScore(*stage.library, stage.featureMatrix, nullptr, stage.voteRow);
  stage.matchAccumulator += stage.voteRow;
  stage.matchDecided = slideMatchDecide(stage.matchAccumulator, settings.matchLimit,
                                        &stage.matchIndex, &stage.matchScore) != 0;
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
  cv::Mat original;
  try {
    original = pictureRead(*match->src);
  } catch (const Error&) {
    return {};  // read once already for its features; gone since, it is only not shown
  }
  cv::Mat shown;
  cv::resize(original, shown, cv::Size(settings.presentWidth, settings.presentHeight), 0, 0,
             cv::INTER_AREA);
  return shown;
}

}  // namespace slidetrack
