#pragma once
// A record's slide picture with what the speaker hid all along taken from the original the
// record was matched to, and, for the file written, where he stood all along too. The original is
// read again from its file when a record ends (the library keeps only features and small pictures);
// the last one read is kept, at the picture's size, for the next record that names it.

#include <string>

#include <opencv2/core.hpp>

#include "results/slide_list.h"

namespace slidetrack {

class OriginalPictureFill {
 public:
  // Off by default; on, records with a decided match get the fill, and with speakerOff the
  // pictures written lose what the original explains of a speaker.
  void enable(bool on, bool speakerOff = false) {
    on_ = on;
    speakerOff_ = speakerOff;
  }
  // picture itself, or a copy of it filled under unseen (null: nothing known unseen) from
  // record's matched original. An original that cannot be read now, or that does not
  // explain what the camera saw around the hole, leaves the picture as it is.
  const cv::Mat& apply(const SlideRecord& record, const cv::Mat& picture, const cv::Mat* unseen);
  // picture itself, or a copy of it without the large solid regions unlike record's matched
  // original that the original explains around them. Only for the file: records are
  // compared and joined on what the camera showed, so that a slide not among the originals
  // still differs from the one it was matched to.
  const cv::Mat& withoutSpeaker(const SlideRecord& record, const cv::Mat& picture);
  // The original's picture read from path at size, or null when it cannot be read.
  const cv::Mat* original(const std::string& path, const cv::Size& size);

 private:
  bool on_ = false, speakerOff_ = false;
  std::string path_;  // of the original kept
  cv::Size size_;
  cv::Mat original_;  // empty when it could not be read
  cv::Mat filled_, cleared_;
};

}  // namespace slidetrack
