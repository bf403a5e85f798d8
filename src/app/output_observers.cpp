#include "app/output_observers.h"

#include <cstdio>

#include "common/error.h"
#include "pictures/jpeg_encode.h"
#include "results/atomic_file.h"
#include "results/results_xml.h"

namespace slidetrack {

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
  if (slidePictureWrite(*record.src, picture, &cause)) return;
  failed_ = true;
  std::fprintf(stderr, "Warning: %s\n", cause.c_str());
}

}  // namespace slidetrack
