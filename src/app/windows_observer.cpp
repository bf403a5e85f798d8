#include "app/windows_observer.h"

#include <opencv2/imgproc.hpp>

#include "app/pipeline.h"
#include "common/error.h"
#include "pictures/picture_read.h"

namespace slidetrack {

namespace {

// The matched original's picture at the screen's size, or an empty matrix when it cannot
// be loaded.
cv::Mat matchedPicture(const SlideRecord& original, cv::Size size) {
  if (!original.src) return {};
  cv::Mat picture;
  try {
    picture = pictureRead(*original.src);
  } catch (const Error&) {
    return {};  // read once already for its features; gone since, it is only not shown
  }
  cv::Mat shown;
  cv::resize(picture, shown, size, 0, 0, cv::INTER_AREA);
  return shown;
}

}  // namespace

WindowsObserver::WindowsObserver(Display& display) : display_(display) {
  if (display_.enabled()) display_.open("Video");
}

Control WindowsObserver::show(const std::string& window, const cv::Mat& picture) {
  display_.show(window, picture);
  return display_.waitKey(10) == kKeyEsc ? Control::kStop : Control::kGoOn;
}

Control WindowsObserver::searchPicture(const cv::Mat& colour) { return show("Video", colour); }

Control WindowsObserver::libraryProgress(const cv::Mat& picture) {
  return show("Progress", picture);
}

void WindowsObserver::libraryBuilt(bool complete) {
  if (!display_.enabled()) return;
  display_.close("Progress");
  if (complete) display_.open("Slide");
}

Control WindowsObserver::frameDone(const FrameEvent& frame) {
  if (!display_.enabled()) return Control::kGoOn;
  display_.show("Video", frame.screen);
  cv::Mat matched;
  if (frame.decidedMatch) matched = matchedPicture(*frame.decidedMatch, frame.screen.size());
  display_.show("Slide", matched.empty() ? frame.pipeline.currentSlidePicture() : matched);
  const int key = display_.waitKey(10);
  if (key == kKeyEsc) return Control::kStop;
  if (key == kKeySpace) display_.waitKey(0);
  return Control::kGoOn;
}

}  // namespace slidetrack
