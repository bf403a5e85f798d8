#include "app/original_picture_fill.h"

#include <opencv2/imgproc.hpp>

#include "common/error.h"
#include "pictures/picture_read.h"
#include "slides/original_fill.h"
#include "slides/speaker_off.h"

namespace slidetrack {

const cv::Mat& OriginalPictureFill::apply(const SlideRecord& record, const cv::Mat& picture,
                                          const cv::Mat* unseen) {
  if (!on_ || !record.match || !record.match->src || !unseen || unseen->empty() ||
      picture.empty() || cv::countNonZero(*unseen) == 0)
    return picture;
  const cv::Mat* from = original(*record.match->src, picture.size());
  if (!from) return picture;
  picture.copyTo(filled_);
  return fillFromOriginal(filled_, *unseen, *from) ? filled_ : picture;
}

const cv::Mat& OriginalPictureFill::withoutSpeaker(const SlideRecord& record,
                                                   const cv::Mat& picture) {
  if (!speakerOff_ || !record.match || !record.match->src || picture.empty()) return picture;
  const cv::Mat* from = original(*record.match->src, picture.size());
  if (!from) return picture;
  picture.copyTo(cleared_);
  return speakerOffFromOriginal(cleared_, *from) ? cleared_ : picture;
}

const cv::Mat* OriginalPictureFill::original(const std::string& path, const cv::Size& size) {
  if (path != path_ || size != size_) {
    path_ = path;
    size_ = size;
    original_.release();
    try {
      const cv::Mat read = pictureRead(path);
      if (!read.empty()) cv::resize(read, original_, size, 0, 0, cv::INTER_AREA);
    } catch (const Error&) {
      // Read at the start, it was since changed or removed: the surround fill stays.
    }
  }
  return original_.empty() ? nullptr : &original_;
}

}  // namespace slidetrack
