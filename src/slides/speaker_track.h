#pragma once
// Where the speaker stands in each screen image of a run, judged from the images alone and
// not from any slide reference: a body as speakerBody finds it, kept while it has moved
// lately or while it still overlaps where he was found the image before, and where he was
// as long as nothing changes there, so that someone who stands still for minutes, or from
// before the slide appeared, stays found.

#include <opencv2/core.hpp>

namespace slidetrack {

class SpeakerTrack {
 public:
  // work: the grey work image of this processed frame (screenWorkImage), the same size
  // every call. newSlide: the slide changed since the last call, so what differs from the
  // last image is no motion.
  void next(const cv::Mat& work, bool newSlide);
  // 255 where the speaker stands in the last image given; work size.
  const cv::Mat& body() const { return body_; }
  // 255 where he stood the image before and nothing changed since; across a slide change,
  // someone standing in front of both slides.
  const cv::Mat& stayed() const { return kept_; }
  // 255 where nothing changed over the last two calls, outside the speaker; work size.
  const cv::Mat& stillSlide() const { return still_; }

 private:
  cv::Mat previous_, moving_, movedBefore_, stillAge_, live_, clear_, even_, kept_, body_, still_;
};

}  // namespace slidetrack
