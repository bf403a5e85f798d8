#include "app/interval_stage.h"

#include <cerrno>
#include <cstdio>

#include "app/directory_path.h"
#include "results/image_files.h"
#include "results/results_xml.h"
#include "screen/presentation_settings.h"

namespace slidetrack {

ChangeOptions changeOptionsFrom(const PresentationSettings& s) {
  ChangeOptions options;
  options.method = s.slideDetMethod;
  options.diffThresh = s.slideChangeThresh;
  options.cellSize = s.slideCellSize;
  options.minCells = s.slideChangeCells;
  options.persist = s.slideChangePersist;
  return options;
}

namespace {

std::string slidePictureName(int t) {
  char name[32];
  std::snprintf(name, sizeof name, "slide_%08d.jpg", t);
  return name;
}

// A picture that cannot be written is not reported: the run goes on regardless.
void saveSlidePicture(const std::string& path, const cv::Mat& picture) {
  if (!picture.empty()) imageFileWrite(path, picture);
}

}  // namespace

void intervalStagePrepare(IntervalStage& stage, const std::optional<std::string>& imagesPath,
                          const std::string& outputXml) {
  stage.imagesPath = imagesPath;
  stage.outputXml = outputXml;
  if (imagesPath) directoryPathCreate(*imagesPath);
}

bool intervalStageCreate(IntervalStage& stage, const std::string& inputVideo,
                         const char* originalsPath, const PresentationSettings& settings,
                         bool windows) {
  stage.list = slideListCreate(inputVideo.c_str(), originalsPath);
  const ChangeOptions options = changeOptionsFrom(settings);
  if (!options.plain()) {
    stage.robust = std::make_unique<RobustChangeDetector>(options);
    return true;
  }
  stage.detector =
      slideDetCreate(nullptr, settings.slideDetHeight, settings.slideDetWidth,
                     settings.slideDiffBuff, settings.slideDiffThresh, settings.slideDistrThresh);
  if (!stage.detector) return false;
  stage.detector->keepPictures = stage.imagesPath.has_value() || windows;
  return true;
}

void intervalStageFrameBegin(IntervalStage& stage) { stage.listChanged = false; }

void intervalStageOpenRecord(IntervalStage& stage, int t, double confidence) {
  std::optional<std::string> path;
  if (stage.imagesPath) path = concatStrings(stage.imagesPath, slidePictureName(t));
  stage.list->slides.push_back(
      slideRecordMake(stage.nextSlideId, path ? path->c_str() : nullptr, t, t, confidence));
  ++stage.nextSlideId;
  stage.currentRecord = &stage.list->slides.back();
  stage.listChanged = true;
}

void intervalStageCloseRecord(IntervalStage& stage, int t, const cv::Mat* picture) {
  SlideRecord* record = stage.currentRecord;
  if (!record) return;
  record->end = t - 1;
  if (record->src && picture) saveSlidePicture(*record->src, *picture);
}

bool intervalStageProcess(IntervalStage& stage, int t, const cv::Mat& presentImage) {
  stage.previousFrame = stage.lastFrame;
  stage.lastFrame = t;
  if (!stage.currentRecord) intervalStageOpenRecord(stage, t, 0.0);
  if (stage.robust) {
    const ChangeDecision decision = stage.robust->process(presentImage);
    if (!decision.changed) return false;
    // The new slide showed first framesBack processed frames ago; its record starts there.
    const int start = decision.framesBack > 0 ? stage.previousFrame : t;
    intervalStageCloseRecord(stage, start, &stage.robust->endedPicture());
    intervalStageOpenRecord(stage, start, 0.0);
    std::printf("\t !SlideChange[% 6d:% 5.3f] ", stage.currentRecord->id,
                stage.currentRecord->confidence);
    return true;
  }
  if (slideDetProcess(stage.detector.get(), presentImage, nullptr) <= 0) return false;
  intervalStageCloseRecord(stage, t, &stage.detector->slideImage);
  intervalStageOpenRecord(stage, t, 0.0);
  std::printf("\t !SlideChange[% 6d:% 5.3f] ", stage.currentRecord->id,
              stage.currentRecord->confidence);
  return true;
}

void intervalStageSave(IntervalStage& stage) {
  if (stage.listChanged) slidesSaveToXmlNode(stage.list.get(), stage.outputXml);
}

const cv::Mat& intervalStageSlideImage(IntervalStage& stage) {
  if (stage.robust) return stage.robust->slidePicture();
  return slideDetSlideImage(stage.detector.get());
}

bool intervalStageFinish(IntervalStage& stage) {
  SlideRecord* record = stage.currentRecord;
  if (!record) return true;
  // The open record ends at the last processed frame; its later matches and confidence
  // reach the file only through this last write.
  record->end = stage.lastFrame;
  if (record->src) saveSlidePicture(*record->src, intervalStageSlideImage(stage));
  errno = 0;
  return slidesSaveToXmlNode(stage.list.get(), stage.outputXml) == 1;
}

}  // namespace slidetrack
