#include "app/output_observers.h"

#include <cstdio>

#include "common/error.h"
#include "pictures/jpeg_encode.h"
#include "results/results_xml.h"

namespace slidetrack {

Control ResultsFileObserver::frameDone(const FrameEvent& frame) {
  if (!frame.recordOpened) return Control::kGoOn;
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
  if (record.src && !picture.empty()) slidePictureWrite(*record.src, picture);
}

}  // namespace slidetrack
