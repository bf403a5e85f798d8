#include "slides/speaker_track.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

#include <opencv2/imgproc.hpp>

#include "slides/even_light.h"
#include "slides/shift_diff.h"
#include "slides/speaker_body.h"
#include "slides/speaker_rows.h"

namespace slidetrack {

namespace {

// Grey levels a pixel must change by between processed frames to count as motion, beyond
// a one-pixel shift.
constexpr int kMotionThresh = 24;
// When more than this share of the image changes at once, the light or the slide changed.
constexpr double kGlobalShare = 0.5;
// Work pixels along the screen's edges left out.
constexpr int kRim = 3;
// Work pixels from a side edge within which his body is taken to reach the edge.
constexpr int kEdgeReach = 5;
constexpr int kBackgroundSpread = 6;
// Vignetting spreads the background over tens of levels: where most of the slide lies is
// judged first over this width, so that plain clothing at one grey does not win when his
// body was missed.
constexpr int kBackgroundWidth = 20;
// Only flat pixels count, alike within this many grey levels to the ones this far right and
// below: a photograph on the slide has as many pixels as its background at times, but not
// flat ones.
constexpr int kFlat = 2;
constexpr int kFlatSpread = 4;
// Share of the flat pixels near the last look's background that keeps it.
constexpr double kKeepShare = 0.3;
// Clothing and skin differ from the background by this much at least, as for speakerBody.
constexpr int kOffBackground = 25;

// The slide's background grey: the most common flat grey, give or take a few levels for
// uneven light, in the screen's upper half apart from where he stood. A speaker in plain
// clothes covering a third of the screen would otherwise be the most common grey himself.
// Slides keep their background: while the last one still holds a good share of the flat
// pixels it stays, so that he does not take its place in a look that misses his body.
// A row's flags, without branches, which the compiler takes several at a time.
__attribute__((target_clones("avx2", "default"))) void flatFlags(
    const unsigned char* __restrict w, const unsigned char* __restrict below,
    const unsigned char* __restrict b, unsigned char* __restrict f, int n) {
  for (int x = 0; x < n; ++x)
    f[x] = (b[x] == 0) & (std::abs(w[x] - w[x + kFlat]) <= kFlatSpread) &
           (std::abs(w[x] - below[x]) <= kFlatSpread);
}

int slideBackground(const cv::Mat& work, const cv::Mat& body, int last) {
  int histogram[256] = {0}, total = 0;
  // A row's flags first, then the counts.
  thread_local std::vector<unsigned char> flat;
  const int n = std::max(0, work.cols - kFlat);
  flat.resize(size_t(n));
  for (int y = 0; y + kFlat < work.rows / 2; ++y) {
    const unsigned char* w = work.ptr<unsigned char>(y);
    unsigned char* f = flat.data();
    flatFlags(w, work.ptr<unsigned char>(y + kFlat), body.ptr<unsigned char>(y), f, n);
#pragma GCC unroll 4  // the loop's own steps cost as much as a count
    for (int x = 0; x < n; ++x) histogram[w[x]] += f[x], total += f[x];
  }
  int lastShare = 0;
  for (int g = std::max(0, last - kBackgroundWidth);
       last >= 0 && g <= std::min(255, last + kBackgroundWidth); ++g)
    lastShare += histogram[g];
  const int wide = last >= 0 && lastShare >= kKeepShare * total
                       ? last
                       : backgroundGrey(histogram, kBackgroundWidth);
  int near[256] = {0};
  for (int g = std::max(0, wide - kBackgroundWidth); g <= std::min(255, wide + kBackgroundWidth);
       ++g)
    near[g] = histogram[g];
  return backgroundGrey(near, kBackgroundSpread);
}

// Looks for which he is taken to stand where he stood, unchanged, though not found there.
constexpr int kKeepLooks = 3;
// Levels by which a channel's excess over the grey tells clothing and skin from the
// slide's background where their grey matches it.
constexpr int kOffColour = 30;
// Levels by which the excesses of all three channels together do, in a tint (the distance
// between the two colours once their grey is taken off).
constexpr int kOffTint = 24;

}  // namespace

// off_: 255 where the colour, its brightness apart, is far from the background's: each
// channel's excess over the pixel's grey compared with the background's own.
void SpeakerTrack::colourOff(const cv::Mat& screenBgr, const cv::Mat& work, int background) {
  off_.release();
  hasExcess_ = false;
  // Every other pixel of every other row of the screen image: colour varies slowly, and
  // camera codecs keep it at half size anyway.
  if (screenBgr.empty() || screenBgr.cols < 2 * work.cols - 1 || screenBgr.rows < 2 * work.rows - 1)
    return;
  int sum[3] = {0, 0, 0}, n = 0;
  for (int y = 0; y < work.rows; y += 2) {
    const unsigned char* g = clear_.ptr<unsigned char>(y);
    const unsigned char* w = work.ptr<unsigned char>(y);
    const cv::Vec3b* p = screenBgr.ptr<cv::Vec3b>(2 * y);
    for (int x = 0; x < work.cols; x += 2) {
      if (std::abs(g[x] - background) > kBackgroundSpread) continue;
      for (int c = 0; c < 3; ++c) sum[c] += p[2 * x][c] - w[x];
      ++n;
    }
  }
  off_ = cv::Mat::zeros(work.size(), CV_8UC1);
  hasExcess_ = n > 0;
  if (n == 0) return;
  for (int c = 0; c < 3; ++c) excess_[c] = sum[c] / n;
  // |excess - mean| > kOffColour, or its tint, all three excesses together, is far from
  // the background's.
  const int low[3] = {sum[0] / n - kOffColour, sum[1] / n - kOffColour, sum[2] / n - kOffColour};
  for (int y = 0; y < work.rows; ++y)
    colourOffRow(work.ptr<unsigned char>(y), screenBgr.ptr<unsigned char>(2 * y), screenBgr.cols,
                 low, kOffColour, byTint_ ? kOffTint : -1, work.cols, off_.ptr<unsigned char>(y));
}

// near_: what moved since the image before; on a new slide, everything did.
void SpeakerTrack::nearHim(bool newSlide) {
  // A buffer of its own when cleared: near_ may still share the last motion map.
  if (newSlide)
    near_ = cv::Mat(moving_.size(), CV_8UC1, cv::Scalar(0));
  else
    near_ = moving_;  // written again only once swapped out, after the next image's use
}

void SpeakerTrack::next(const cv::Mat& work, bool newSlide, const cv::Mat& screenBgr,
                        const cv::Mat& alsoLive, const cv::Mat& held) {
  if (previous_.size() != work.size()) {
    previous_ = work.clone();
    stillAge_ = cv::Mat(work.size(), CV_8UC1, cv::Scalar(255));
    body_ = cv::Mat::zeros(work.size(), CV_8UC1);
    moving_ = cv::Mat(work.size(), CV_8UC1, cv::Scalar(255));
  }
  cv::swap(moving_, movedBefore_);
  shiftTolerantChange(work, previous_, kMotionThresh, moving_);
  // Where he stood and nothing changed, he still stands, though the body be missed now (an
  // arm held out makes him too wide for it); a new slide changes all round him.
  cv::bitwise_not(moving_, kept_);
  cv::bitwise_and(kept_, body_, kept_);
  if (newSlide) moving_.setTo(255);
  cv::add(stillAge_, 1, stillAge_);  // saturates at 255
  if (!newSlide && cv::countNonZero(moving_) < kGlobalShare * double(moving_.total()))
    stillAge_.setTo(0, moving_);
  work.copyTo(previous_);
  // Anything that moved since the age saturated, or where he stood the image before.
  cv::compare(stillAge_, 255, live_, cv::CMP_LT);
  cv::bitwise_or(live_, body_, live_);
  if (!alsoLive.empty()) cv::bitwise_or(live_, alsoLive, live_);
  const int background = slideBackground(work, body_, background_);
  background_ = background;
  evenLight(work, background, body_, clear_);
  // The screen's frame shows along the rim of a warp a little off the corners; joined to
  // his legs it would make him as wide as the screen.
  if (clear_.rows > 2 * kRim && clear_.cols > 2 * kRim) {
    clear_.rowRange(0, kRim).setTo(background);
    clear_.rowRange(clear_.rows - kRim, clear_.rows).setTo(background);
    clear_.colRange(0, kRim).setTo(background);
    clear_.colRange(clear_.cols - kRim, clear_.cols).setTo(background);
  }
  cv::swap(body_, bodyBefore_);  // the body is found again below, every pixel
  colourOff(screenBgr, work, background);
  if (!off_.empty() && off_.rows > 2 * kRim && off_.cols > 2 * kRim) {
    off_.rowRange(0, kRim).setTo(0);
    off_.rowRange(off_.rows - kRim, off_.rows).setTo(0);
    off_.colRange(0, kRim).setTo(0);
    off_.colRange(off_.cols - kRim, off_.cols).setTo(0);
  }
  nearHim(newSlide);
  BodyHints hints{off_, near_, true, false, cv::Mat()};
  // The faint look judges the same image's plain pixels: made once for both.
  plain_.release();
  if (faint_) {
    bodyPlainPixels(clear_, plain_);
    hints.plain = plain_;
  }
  // A body must touch something live.
  if (cv::countNonZero(live_) > 0)
    speakerBody(clear_, background, live_, body_, &hints);
  else
    body_ = cv::Mat::zeros(work.size(), CV_8UC1);
  if (faint_) faintBody(work, screenBgr, held, background);
  // Only what differs from the slide's background is kept: the outline around him where he
  // no longer stands is slide.
  cv::absdiff(clear_, background, even_);
  cv::compare(even_, kOffBackground, even_, cv::CMP_GT);
  if (!off_.empty()) cv::bitwise_or(even_, off_, even_);
  cv::bitwise_and(kept_, even_, kept_);
  // Kept only for a few looks where no body is found any more: a slide's bar once taken
  // for part of him never changes and would be kept for good.
  if (keptAge_.size() != body_.size()) keptAge_ = cv::Mat::zeros(body_.size(), CV_8UC1);
  cv::add(keptAge_, 1, keptAge_);
  keptAge_.setTo(0, body_);
  cv::compare(keptAge_, kKeepLooks, even_, cv::CMP_LE);
  cv::bitwise_and(kept_, even_, kept_);
  cv::bitwise_or(body_, kept_, body_);
  // He stands on through the rim left out above, and to a side edge he nearly reaches: the
  // screen's frame blurred into his clothes there is not plain, and a sliver of him left
  // out would be taken for the slide and fill his place with his colours.
  if (body_.rows > 2 * kRim && body_.cols > 2 * kEdgeReach) {
    for (int k = 0; k < kRim; ++k)
      body_.row(body_.rows - 1 - k) |= body_.row(body_.rows - 1 - kRim);
    for (int y = 0; y < body_.rows; ++y) {
      unsigned char* b = body_.ptr<unsigned char>(y);
      const int w = body_.cols;
      for (int x = kEdgeReach - 1; x >= 0; --x) b[x] |= b[x + 1];
      for (int x = w - kEdgeReach; x < w; ++x) b[x] |= b[x - 1];
    }
  }
  cv::bitwise_or(moving_, movedBefore_, still_);
  // A look that misses him is not enough to take what he covers: the body of the look
  // before counts too.
  cv::bitwise_or(still_, body_, still_);
  cv::bitwise_or(still_, bodyBefore_, still_);
  cv::bitwise_not(still_, still_);
}

}  // namespace slidetrack
