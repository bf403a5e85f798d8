#pragma once
// Where the speaker stands in each screen image of a run, judged from the images alone and
// not from any slide reference: a body as speakerBody finds it, in grey and in colour, kept
// while it has moved lately or while it still overlaps where he was found the image before,
// and for a few looks where he was as long as nothing changes there, so that someone who
// stands still for minutes, or from before the slide appeared, stays found. Where he is
// joined to a slide's bar or side bar, what rises above his legs is his.

#include <opencv2/core.hpp>

namespace slidetrack {

class SpeakerTrack {
 public:
  // work: the grey work image of this processed frame (screenWorkImage), the same size
  // every call. newSlide: the slide changed since the last call, so what differs from the
  // last image is no motion. screenBgr (may be empty): the frame's screen image in colour,
  // which tells clothing in the slide's background grey from it. alsoLive (may be empty): where
  // someone is known to be from elsewhere, which a body may touch instead of motion.
  // held (may be empty): where the change decision holds someone in front of the slide; a
  // body touching it, with byFaintest on, may be told from the slide by fainter differences.
  void next(const cv::Mat& work, bool newSlide, const cv::Mat& screenBgr = cv::Mat(),
            const cv::Mat& alsoLive = cv::Mat(), const cv::Mat& held = cv::Mat());
  // Whether a colour counts as off the background also by its tint over all channels together
  // (off by default): a beige shirt under a projector's light differs in no channel enough.
  void byTint(bool on) { byTint_ = on; }
  // Whether a body touching what the decision holds is also looked for among plain pixels
  // whose colour is only faintly off the background's (off by default): a shirt of the
  // slide's grey and nearly its tint, on someone who stands still.
  void byFaintest(bool on) { faint_ = on; }
  // 255 where the speaker stands in the last image given; work size.
  const cv::Mat& body() const { return body_; }
  // 255 where he stood the image before and nothing changed since; across a slide change,
  // someone standing in front of both slides.
  const cv::Mat& stayed() const { return kept_; }
  // 255 where nothing changed over the last two calls, outside the speaker of both; work
  // size.
  const cv::Mat& stillSlide() const { return still_; }
  // The slide's background grey in the last image given; -1 before the first.
  int background() const { return background_; }

 private:
  void colourOff(const cv::Mat& screenBgr, const cv::Mat& work, int background);
  void nearHim(bool newSlide);
  void faintBody(const cv::Mat& work, const cv::Mat& screenBgr, const cv::Mat& held,
                 int background);

  cv::Mat previous_, moving_, movedBefore_, stillAge_, live_, clear_, even_, kept_, body_, still_;
  cv::Mat off_, near_, bodyBefore_, keptAge_, faintOff_, faintMajority_, faintBody_;
  cv::Mat plain_;              // clear_'s plain pixels, made when the faint look may want them
  int background_ = -1;        // the last look's slide background grey
  int excess_[3] = {0, 0, 0};  // the background's mean excess of each channel over its grey
  bool hasExcess_ = false;
  bool faint_ = false;
  bool byTint_ = false;
};

}  // namespace slidetrack
