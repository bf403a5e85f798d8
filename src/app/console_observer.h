#pragma once
// The run's console lines: progress on standard output, warnings on standard error.

#include "app/run_observer.h"

namespace slidetrack {

class ConsoleObserver : public RunObserver {
 public:
  void cornersRefused() override;
  void searchStarted() override;
  void searchSample(int position) override;
  void searchFoundRecording() override;
  void searchFinished(bool found) override;
  void wholeFrameScreen() override;
  void videoPositioned(unsigned frame, long long micros) override;
  void originalsUnusable(const std::string& path) override;
  void originalUnread(const SlideRecord& original, const std::string& path,
                      const std::string& cause) override;
  void libraryAborted() override;
  void frameStepChosen(int step, double framesPerSecond) override;
  void framesStarted() override;
  void frameStarted(int t, int frameCount) override;
  void slideChanged(const SlideRecord& opened) override;
  void noMatch(const SlideRecord& best, double score) override;
  void matchDecided(const SlideRecord& original, double score) override;
  void matchChanged(const SlideRecord& from, const SlideRecord& to, double score) override;
  void matchWithdrawn(const SlideRecord& record, const SlideRecord& original) override;
  void recordJoined(const SlideRecord& joined, const SlideRecord& into) override;
  Control frameDone(const FrameEvent& frame) override;
  void runFinished(const SlideList& slides) override;

 private:
  bool lineOpen_ = false;  // fragments printed since the last line end
};

}  // namespace slidetrack
