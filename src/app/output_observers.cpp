#include "app/output_observers.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "common/error.h"
#include "pictures/jpeg_encode.h"
#include "results/atomic_file.h"
#include "results/results_xml.h"

namespace slidetrack {

namespace fs = std::filesystem;

ResultsFileObserver::ResultsFileObserver(std::string path, std::chrono::milliseconds minInterval,
                                         Clock clock)
    : path_(std::move(path)),
      minInterval_(minInterval),
      clock_(std::move(clock)),
      stream_(isStreamTarget(path_)) {}

Control ResultsFileObserver::frameDone(const FrameEvent& frame) {
  if (!frame.recordOpened || stream_) return Control::kGoOn;
  const auto now = clock_();
  if (lastWrite_ && now - *lastWrite_ < minInterval_) return Control::kGoOn;
  lastWrite_ = now;
  try {
    slidesSaveToXml(frame.slides, path_);
  } catch (const Error&) {
    std::fputs("Error: Cannot save XML file.\n", stderr);
  }
  return Control::kGoOn;
}

void ResultsFileObserver::runFinished(const SlideList& slides) {
  if (!slides.slides.empty()) slidesSaveToXml(slides, path_);
}

void SlidePicturesObserver::slideEnded(const SlideRecord& record, const cv::Mat& picture) {
  if (!record.src || picture.empty()) return;
  std::string cause;
  if (slidePictureWrite(*record.src, picture, &cause)) {
    written_.insert(*record.src);
    return;
  }
  failed_ = true;
  std::fprintf(stderr, "Warning: %s\n", cause.c_str());
}

void SlidePicturesObserver::recordJoined(const SlideRecord& joined, const SlideRecord&) {
  if (!joined.src || written_.erase(*joined.src) == 0) return;
  std::error_code error;
  if (!fs::is_regular_file(fs::symlink_status(*joined.src, error))) return;
  if (!fs::remove(*joined.src, error) && error)
    std::fprintf(stderr, "Warning: Cannot remove %s: %s\n", joined.src->c_str(),
                 error.message().c_str());
}

}  // namespace slidetrack
