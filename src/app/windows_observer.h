#pragma once
// The run's windows: the screen search's samples and the straightened screen in "Video",
// the library build's progress, the slide shown (or its matched original) in "Slide".
// Esc stops the run, space pauses it until the next key.

#include "app/display.h"
#include "app/run_observer.h"

namespace slidetrack {

class WindowsObserver : public RunObserver {
 public:
  // Opens "Video" when the display is enabled; does nothing otherwise.
  explicit WindowsObserver(Display& display);
  bool needsSlidePictures() const override { return display_.enabled(); }
  bool showsPictures() const override { return display_.enabled(); }
  Control searchPicture(const cv::Mat& colour) override;
  Control libraryProgress(const cv::Mat& picture) override;
  void libraryBuilt(bool complete) override;
  Control frameDone(const FrameEvent& frame) override;

 private:
  Control show(const std::string& window, const cv::Mat& picture);
  Display& display_;
};

}  // namespace slidetrack
