#pragma once
// The run's files: the results file, rewritten whenever a record opens and at the end,
// and the slide pictures, saved when their record ends.

#include <optional>
#include <string>

#include "app/run_observer.h"

namespace slidetrack {

class ResultsFileObserver : public RunObserver {
 public:
  explicit ResultsFileObserver(std::string path) : path_(std::move(path)) {}
  // A failed rewrite during the run is said and the run goes on: the next one may work.
  Control frameDone(const FrameEvent& frame) override;
  // The last write holds every record: its failure is an Error.
  void runFinished(const SlideList& slides) override;

 private:
  std::string path_;
};

class SlidePicturesObserver : public RunObserver {
 public:
  // With no prefix, records have no picture path and nothing is saved.
  explicit SlidePicturesObserver(std::optional<std::string> prefix) : prefix_(std::move(prefix)) {}
  bool needsSlidePictures() const override { return prefix_.has_value(); }
  // A picture that cannot be written is not reported: the run goes on regardless.
  void slideEnded(const SlideRecord& record, const cv::Mat& picture) override;

 private:
  std::optional<std::string> prefix_;
};

}  // namespace slidetrack
