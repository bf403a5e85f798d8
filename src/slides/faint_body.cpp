// The speaker's body among faint differences from the slide, where the decision holds him.

#include <utility>

#include <opencv2/imgproc.hpp>

#include "slides/mask_majority.h"
#include "slides/speaker_body.h"
#include "slides/speaker_rows.h"
#include "slides/speaker_track.h"

namespace slidetrack {

namespace {

// Levels by which a channel's excess over the grey, or the three together as a tint, tell
// a shirt nearly of the slide's colour from it. Its grey is no guide: the light levelled
// next to a slide's pale blocks is off by as much.
constexpr int kFaintColour = 12;
constexpr int kFaintTint = 10;
// Work pixels along the screen's edges left out, as for the track's own colour test.
constexpr int kRim = 3;
// Side of the square over which most pixels must pass for any to count.
constexpr int kMajority = 5;

}  // namespace

// Only a region that stands on the lower edge as a person does, touching what the decision
// holds, is taken: a slide's pale box nearby is no part of him unless joined to him.
void SpeakerTrack::faintBody(const cv::Mat& work, const cv::Mat& screenBgr, const cv::Mat& held,
                             int background) {
  if (!hasExcess_ || held.size() != clear_.size() || screenBgr.cols < 2 * clear_.cols - 1 ||
      screenBgr.rows < 2 * clear_.rows - 1 || cv::countNonZero(held) == 0)
    return;
  faintOff_.create(clear_.size(), CV_8UC1);
  const int low[3] = {excess_[0] - kFaintColour, excess_[1] - kFaintColour,
                      excess_[2] - kFaintColour};
  for (int y = 0; y < clear_.rows; ++y)
    colourOffRow(work.ptr<unsigned char>(y), screenBgr.ptr<unsigned char>(2 * y), screenBgr.cols,
                 low, kFaintColour, kFaintTint, clear_.cols, faintOff_.ptr<unsigned char>(y));
  // Noise passes either test here and there; a shirt does all over.
  maskMajority(faintOff_, kMajority, faintMajority_);
  std::swap(faintOff_, faintMajority_);
  if (faintOff_.rows > 2 * kRim && faintOff_.cols > 2 * kRim) {
    faintOff_.rowRange(0, kRim).setTo(0);
    faintOff_.rowRange(faintOff_.rows - kRim, faintOff_.rows).setTo(0);
    faintOff_.colRange(0, kRim).setTo(0);
    faintOff_.colRange(faintOff_.cols - kRim, faintOff_.cols).setTo(0);
  }
  const BodyHints hints{faintOff_, near_, true, false, plain_};
  speakerBody(clear_, background, held, faintBody_, &hints);
  cv::bitwise_or(body_, faintBody_, body_);
}

}  // namespace slidetrack
