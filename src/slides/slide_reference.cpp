// The robust change decision's reference of the current slide: where it starts, what the
// speaker hides of it, and how it follows what he uncovers.

#include <algorithm>
#include <cstdlib>
#include <vector>

#include <opencv2/imgproc.hpp>

#include "slides/mask_text.h"
#include "slides/plain_pixels.h"
#include "slides/robust_change.h"
#include "slides/shift_diff.h"
#include "slides/speaker_body.h"
#include "slides/speaker_mask.h"
#include "slides/still_speaker.h"

namespace slidetrack {

namespace {

// A covered region still for this many processed frames, this much of it within this many
// grey levels of the slide's background, is taken for the slide.
constexpr int kStillFrames = 3;
constexpr double kBackgroundShare = 0.75;
constexpr int kBackgroundTolerance = 20;
// Processed frames after which a hole nothing moved in counts as seen for the decision.
constexpr int kHoleFrames = 5;
// Deviation over a 7x7 window from which a pixel shows fine detail, as text does.
constexpr double kFineDeviation = 8.0;
// Share of such a region that may be plain and off the background, as clothing is.
constexpr double kBodyShare = 0.05;

}  // namespace

const cv::Mat& RobustChangeDetector::referenceUnseen() const {
  lookUnseen(person_, lookUnseen_);
  return lookUnseen_;
}

void RobustChangeDetector::lookUnseen(const cv::Mat& person, cv::Mat& unseen) const {
  // Holes hold whoever made them, the person mask whoever stands there now.
  cv::bitwise_or(unseen_, hole_, unseen);
  cv::bitwise_or(unseen, person, unseen);
}

void RobustChangeDetector::keepEnded(const cv::Mat& person) {
  ended_ = clean_.endPicture(fill_);
  endedUnseen_ = clean_.unseen().clone();
  if (!keepLooks_) return;
  endedLook_ = refColour_.clone();
  endedLookUnseen_.release();
  lookUnseen(person, endedLookUnseen_);
  endedContent_ = startContent_;
  startContent_ = cv::Mat();
}

void RobustChangeDetector::startSlide(const cv::Mat& screenBgr, bool confirmed) {
  // The candidate frame's person mask may have taken in the new slide's content.
  keepEnded(personBefore_);
  if (keepLooks_) {
    std::vector<unsigned char> flags = pending_;
    if (!confirmed) {
      flags.assign(cells_.counts.size(), 0);
      for (size_t c = 0; c < flags.size(); ++c) flags[c] = cells_.counts[c] >= cellPixels();
    }
    newPixels(flags, startContent_);
  }
  // Whoever stood in front before the change and is still there, where the frame before it
  // and this one agree, hides part of the new slide; so does what moves now, once the new
  // slide has been seen twice. The person mask of the candidate frame is no guide: the new
  // content joined it there. The old slide's holes are no part of it.
  cv::Mat standing;
  shiftTolerantChange(work_, beforeChange_, options_.slideChangeThresh, standing);
  cv::bitwise_not(standing, standing);
  cv::bitwise_and(standing, personBefore_, standing);
  // The new slide may have shown a frame before the decision saw it, and the mask there
  // taken in its lines: new lines of text that came then are the slide's, not his.
  if (options_.slideStartSettled == 1) {
    cv::Mat came, lines;
    shiftTolerantChange(work_, beforeBefore_, options_.slideChangeThresh, came);
    cv::bitwise_and(came, standing, came);
    newTextLines(work_, beforeBefore_, came, moving_, cv::Mat(), background_, lines);
    standing.setTo(0, lines);
  }
  if (confirmed)
    cv::bitwise_or(standing, moving_, suspect_);
  else
    suspect_ = standing;
  speakerMask(suspect_, standing, hole_);
  // A speaker the old slide's reference had taken in shows no change there; his body,
  // found in this image alone, keeps him out of the new reference all the same. Only where
  // he looks as before the change: the new slide's figures he touches are the slide's.
  cv::Mat body, live, differs;
  cv::bitwise_or(moving_, hole_, live);
  speakerBody(work_, background_, live, body);
  shiftTolerantChange(work_, beforeChange_, options_.slideChangeThresh, differs);
  body.setTo(0, differs);
  cv::bitwise_or(hole_, body, hole_);
  hole_.copyTo(person_);
  // Nor need he have moved or been masked: the old reference may have taken in someone who
  // stood through the change. He is left unseen in the reference and the picture, and stays
  // so until he stirs: a shirt near the slide's grey, still for a few frames, would pass for
  // slide uncovered.
  standing_.release();
  if (options_.slideStartStanding == 1) {
    standingThrough({work_, colour_}, background_, commonGrey_, differs, personBefore_,
                    options_.slideTintUpper == 1, standing_);
    cv::bitwise_or(hole_, standing_, hole_);
    cv::bitwise_or(person_, standing_, person_);
    if (cv::countNonZero(standing_) == 0) standing_.release();
  }
  beginReference(screenBgr, work_);
}

// The new slide's reference, picture and first look start from this work image, with the
// hole as what is not seen of it.
void RobustChangeDetector::beginReference(const cv::Mat& screenBgr, const cv::Mat& base) {
  clean_.start(screenBgr, base, hole_);
  ref_ = base.clone();
  // As the next frame would take it: a slide that ends the video has no next frame.
  colour_.copyTo(refColour_);
  occluder_ = base.clone();
  firstLook_ = base.clone();
  unseen_ = hole_.clone();
  covered_ = hole_.clone();
  filled_ = cv::Mat::zeros(hole_.size(), CV_8UC1);
  rim_ = filled_.clone();
  hasPending_ = false;
}

// Changed pixels along the edge of what was filled from a hole: the blur of the speaker's
// outline there, which his mask missed and the slide's first look took in.
void RobustChangeDetector::findRim() {
  static const cv::Mat ring = cv::getStructuringElement(cv::MORPH_RECT, cv::Size(5, 5));
  cv::Mat inner;
  cv::dilate(filled_, rim_, ring);
  cv::erode(filled_, inner, ring);
  cv::bitwise_and(rim_, ~inner, rim_);
  cv::bitwise_and(rim_, changed_, rim_);
  // Only what holds still: pen strokes written along the edge are new where they appear.
  rim_.setTo(0, moving_);
  rim_.setTo(0, person_);
}

void RobustChangeDetector::restart(const cv::Mat& screenBgr) {
  if (ref_.empty() || screenBgr.size() != frameSize_) return;
  // process() has swapped that frame's work image into previous_.
  keepEnded(person_);
  // A body the person mask missed stays out of the new reference too.
  cv::Mat body, live;
  cv::bitwise_or(moving_, person_, live);
  speakerBody(previous_, background_, live, body);
  // The mask may have taken in the new slide's lines beside him, which is why the decision
  // did not see it: they are the slide's, not his.
  cv::Mat person = person_;
  if (options_.slideRestartLines == 1) {
    cv::Mat fresh, lines;
    shiftTolerantChange(previous_, ref_, options_.slideChangeThresh, fresh);
    cv::bitwise_and(fresh, ~moving_, fresh);
    newTextLines(previous_, ref_, fresh, moving_, cv::Mat(), background_, lines);
    person = person_.clone();
    person.setTo(0, lines);
  }
  cv::bitwise_or(person, body, hole_);
  standing_.release();
  beginReference(screenBgr, previous_);
}

// Covered regions where nothing has moved for a while and that look like the slide's
// background are the slide: someone left them while they were taken for the reference.
void RobustChangeDetector::releaseStillSlide(cv::Mat& release) {
  cv::Mat motion;
  cv::dilate(moving_, motion, cv::getStructuringElement(cv::MORPH_RECT, cv::Size(9, 9)));
  cv::add(stillAge_, 1, stillAge_);  // saturates at 255
  stillAge_.setTo(0, motion);
  release = cv::Mat::zeros(work_.size(), CV_8UC1);
  // The slide's background, from what is seen of it. Regions are taken back only near its
  // most common grey: a light shirt lies within the wider estimate.
  int histogram[256] = {0};
  for (int y = 0; y < ref_.rows; ++y) {
    const unsigned char* r = ref_.ptr<unsigned char>(y);
    const unsigned char* c = covered_.ptr<unsigned char>(y);
    for (int x = 0; x < ref_.cols; ++x)
      if (!c[x]) ++histogram[r[x]];
  }
  commonGrey_ = int(std::max_element(histogram, histogram + 256) - histogram);
  background_ = backgroundGrey(histogram, kBackgroundTolerance);
  cv::Mat labels;
  // Apart from what moves, so that a still stretch of slide is not held by a waving arm.
  cv::Mat still;
  cv::compare(stillAge_, kStillFrames, still, cv::CMP_GE);
  cv::bitwise_and(still, covered_, still);
  const int n = cv::connectedComponents(still, labels, 8, CV_32S);
  if (n <= 1) return;
  const int background = commonGrey_;
  // A hole made where the slide showed beside him looks as it did while nothing moves; its
  // text is fine detail, which a body's plain regions off the background are not.
  const int settle = options_.slideHoleSettle;
  cv::Mat plainNow;
  if (settle > 0) plainPixels(work_, kFineDeviation, plainNow);
  std::vector<int> minAge(n, 255), area(n, 0), plain(n, 0), slideLike(n, 0), bodyLike(n, 0);
  for (int y = 0; y < labels.rows; ++y) {
    const int* l = labels.ptr<int>(y);
    const unsigned char* age = stillAge_.ptr<unsigned char>(y);
    const unsigned char* w = work_.ptr<unsigned char>(y);
    const unsigned char* h = hole_.ptr<unsigned char>(y);
    const unsigned char* p = settle > 0 ? plainNow.ptr<unsigned char>(y) : nullptr;
    for (int x = 0; x < labels.cols; ++x) {
      if (!l[x]) continue;
      minAge[l[x]] = std::min<int>(minAge[l[x]], age[x]);
      ++area[l[x]];
      const bool onBackground = std::abs(w[x] - background) <= kBackgroundTolerance;
      plain[l[x]] += onBackground;
      if (!p) continue;
      slideLike[l[x]] += h[x] && (onBackground || !p[x]);
      bodyLike[l[x]] += !onBackground && p[x];
    }
  }
  std::vector<unsigned char> slide(n, 0);
  bool any = false;
  for (int k = 1; k < n; ++k)
    if ((minAge[k] >= kStillFrames && plain[k] >= kBackgroundShare * area[k]) ||
        (settle > 0 && minAge[k] >= settle && slideLike[k] >= kBackgroundShare * area[k] &&
         bodyLike[k] <= kBodyShare * area[k]))
      slide[k] = any = true;
  if (!any) return;
  for (int y = 0; y < labels.rows; ++y) {
    const int* l = labels.ptr<int>(y);
    unsigned char* out = release.ptr<unsigned char>(y);
    for (int x = 0; x < labels.cols; ++x) out[x] = slide[l[x]] ? 255 : 0;
  }
}

void RobustChangeDetector::followSlide(const cv::Mat& screenBgr) {
  cv::Mat release;
  releaseStillSlide(release);
  // Someone who stood through the change is released as the slide only once he has moved.
  if (!standing_.empty()) {
    // The still age restarted where anything moved near.
    standing_.setTo(0, stillAge_ == 0);
    release.setTo(0, standing_);
  }
  // Whoever the person mask misses, as the reference holds him already, stays out of it.
  cv::Mat body, live;
  cv::bitwise_or(moving_, covered_, live);
  speakerBody(work_, background_, live, body);
  release.setTo(0, body);
  work_.copyTo(ref_, release);
  hole_.setTo(0, release);
  person_.setTo(0, release);
  covered_.setTo(0, release);
  // The reference follows the visible slide, so drifting light and camera do not add up.
  cv::bitwise_or(changed_, covered_, seen_);
  cv::bitwise_or(seen_, body, seen_);
  cv::bitwise_not(seen_, seen_);
  work_.copyTo(ref_, seen_);
  // Hole pixels the speaker has left and that hold still are the slide uncovered.
  cv::Mat fill;
  cv::bitwise_or(person_, moving_, fill);
  cv::bitwise_or(fill, body, fill);
  cv::bitwise_not(fill, fill);
  cv::bitwise_and(fill, hole_, fill);
  if (!standing_.empty()) fill.setTo(0, standing_);
  work_.copyTo(ref_, fill);
  hole_.setTo(0, fill);
  // The speaker's blurred outline along a filled hole, once still, is the slide too.
  cv::Mat rim;
  cv::bitwise_and(rim_, ~moving_, rim);
  rim.setTo(0, body);
  work_.copyTo(ref_, rim);
  cv::bitwise_or(seen_, fill, seen_);
  cv::bitwise_or(seen_, release, seen_);
  // The picture finds the speaker itself; from the decision it takes what differs from the
  // reference and what has not been uncovered since the slide appeared.
  cv::Mat notYet;
  cv::bitwise_or(changed_, hole_, notYet);
  clean_.update(screenBgr, work_, notYet, colour_);
  // Slide background in a hole where nothing has moved for a while is taken as it looks,
  // so that a waving arm's sweep does not hide the slide for good; the picture keeps what
  // it had there. A speaker who stands still in the hole stays covered.
  cv::Mat settled, plain;
  cv::compare(stillAge_, kHoleFrames, settled, cv::CMP_GE);
  cv::bitwise_and(settled, hole_, settled);
  cv::inRange(work_, commonGrey_ - kBackgroundTolerance, commonGrey_ + kBackgroundTolerance, plain);
  cv::bitwise_and(settled, plain, settled);
  settled.setTo(0, body);
  work_.copyTo(ref_, settled);
  hole_.setTo(0, settled);
  cv::bitwise_or(filled_, fill, filled_);
  cv::bitwise_or(filled_, settled, filled_);
  cv::bitwise_or(filled_, release, filled_);
  // The first look at the slide gains what has now been seen for the first time.
  cv::Mat uncovered;
  cv::bitwise_and(unseen_, ~hole_, uncovered);
  ref_.copyTo(firstLook_, uncovered);
  unseen_.setTo(0, uncovered);
}

}  // namespace slidetrack
