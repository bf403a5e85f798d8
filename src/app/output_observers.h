#pragma once
// The run's files: the results file, kept current during the run and written in full at
// the end, and the slide pictures, saved when their record ends.

#include <chrono>
#include <functional>
#include <optional>
#include <set>
#include <string>

#include "app/run_observer.h"

namespace slidetrack {

class ResultsFileObserver : public RunObserver {
 public:
  using Clock = std::function<std::chrono::steady_clock::time_point()>;
  // The file is rewritten when a record opens, at most once per minInterval as told by
  // clock, so that thousands of records do not cost quadratic time.
  explicit ResultsFileObserver(std::string path,
                               std::chrono::milliseconds minInterval = std::chrono::seconds(1),
                               Clock clock = std::chrono::steady_clock::now);
  // A failed rewrite during the run is said and the run goes on: the next one may work.
  Control frameDone(const FrameEvent& frame) override;
  // The last write holds every record: its failure is an Error.
  void runFinished(const SlideList& slides) override;

 private:
  std::string path_;
  std::chrono::milliseconds minInterval_;
  Clock clock_;
  std::optional<std::chrono::steady_clock::time_point> lastWrite_;
  bool stream_;  // a device or pipe takes one document, at the end
};

class SlidePicturesObserver : public RunObserver {
 public:
  // With no prefix, records have no picture path and nothing is saved.
  explicit SlidePicturesObserver(std::optional<std::string> prefix) : prefix_(std::move(prefix)) {}
  bool needsSlidePictures() const override { return prefix_.has_value(); }
  // A picture that cannot be written is warned about; the run goes on, to end with failed().
  void slideEnded(const SlideRecord& record, const cv::Mat& picture) override;
  // A record taken into another leaves no file of its own behind.
  void recordJoined(const SlideRecord& joined, const SlideRecord& into) override;
  bool failed() const { return failed_; }

 private:
  std::optional<std::string> prefix_;
  std::set<std::string> written_;  // only files this run wrote are ever removed
  bool failed_ = false;
};

}  // namespace slidetrack
