#include "slides/clean_slide.h"

#include <utility>

#include <opencv2/imgproc.hpp>

#include "slides/first_look_limbs.h"
#include "slides/held_back_slide.h"
#include "slides/hole_fill.h"
#include "slides/packed_morphology.h"
#include "slides/screen_variance.h"
#include "slides/shift_diff.h"
#include "slides/taken_copy.h"
#include "slides/uncovered_slide.h"

namespace slidetrack {

namespace {

// Work pixels a speaker standing through a slide change may have moved by meanwhile.
constexpr int kNear = 15;
// Grey levels by which a pixel must differ from the first look, beyond a one-pixel shift, to
// have changed since.
constexpr int kChanged = 24;
// Grey levels of deviation over a few screen pixels above which an image is fine-grained:
// print, a photograph; not plain clothing.
constexpr double kFine = 10.0;
// Candidate work pixels below which nothing was uncovered: noise along text.
constexpr int kSome = 12;
// Work pixels inside his body's outline that are his though fine-grained: his edge against
// text or a photograph, blurred by the camera, is never plain.
constexpr int kOutline = 6;

// 255 where the screen image is fine-grained, at the work size, within where (work size);
// 0 elsewhere.
cv::Mat fineGrained(const cv::Mat& screenBgr, const cv::Mat& where) {
  cv::Mat fine = cv::Mat::zeros(where.size(), CV_8UC1);
  const cv::Rect box = cv::boundingRect(where);
  if (box.empty()) return fine;
  const cv::Mat variance = screenVariance(screenBgr, where.size(), box);
  cv::Mat(variance > kFine * kFine).copyTo(fine(box));
  return fine;
}

}  // namespace

void CleanSlide::start(const cv::Mat& screenBgr, const cv::Mat& work, const cv::Mat& unseenWork) {
  if (!on_) return;
  // The decision's hole is someone it has seen in front: he may not have moved since the
  // picture's own look last followed him.
  speaker_.next(work, true, screenBgr, still_ ? unseenWork : cv::Mat(), unseenWork);
  screenBgr.copyTo(picture_);
  // Whoever stood in front of the last slide and is still about there hides this one; a
  // shape of the new slide the body found now may have joined, further off, is no part of
  // him (and the first look is taken as the slide there: a slide shown for two looks would
  // otherwise keep none of it).
  const cv::Mat near =
      cv::getStructuringElement(cv::MORPH_RECT, cv::Size(2 * kNear + 1, 2 * kNear + 1));
  if (!packedDilate(speaker_.stayed(), near, unseen_)) cv::dilate(speaker_.stayed(), unseen_, near);
  cv::bitwise_and(unseen_, speaker_.body(), unseen_);
  cv::bitwise_or(unseen_, unseenWork, unseen_);
  // What the first look took where he stood then is his until a later look shows it clear;
  // only where it is plain in the full image, as clothing is: a photograph on the slide
  // that his body was found joined to is fine-grained there.
  cv::bitwise_and(speaker_.body(), ~unseen_, firstOnly_);
  cv::Mat fine = fineGrained(screenBgr, firstOnly_);
  if (still_) {
    cv::Mat inner;
    const cv::Mat outline =
        cv::getStructuringElement(cv::MORPH_ELLIPSE, cv::Size(2 * kOutline + 1, 2 * kOutline + 1));
    if (!packedErode(speaker_.body(), outline, inner)) cv::erode(speaker_.body(), inner, outline);
    cv::bitwise_and(fine, inner, fine);
  }
  firstOnly_.setTo(0, fine);
  work.copyTo(firstWork_);
  everTaken_ = cv::Mat::zeros(work.size(), CV_8UC1);
  speaker_.body().copyTo(hisSince_);
  // Its colour is worked out only should anything be uncovered.
  if (uncover_) screenBgr.copyTo(firstScreen_);
  firstColour_.release();
  limbs_.release();
  if (arms_) {
    firstLookLimbs(screenBgr, work, speaker_.background(), speaker_.body(), unseen_, limbs_);
    if (cv::countNonZero(limbs_) > 0)
      cv::resize(screenBgr, firstColour_, work.size(), 0, 0, cv::INTER_AREA);
    else
      limbs_.release();
  }
}

void CleanSlide::update(const cv::Mat& screenBgr, const cv::Mat& work, const cv::Mat& notYetWork,
                        const cv::Mat& colourWork) {
  if (!on_) return;
  // What the decision holds back may hold someone whose shirt is barely off the slide.
  speaker_.next(work, false, screenBgr, cv::Mat(), notYetWork);
  // New content waiting for its second look is no part of this slide; the speaker is the
  // track's to find, not the decision's person mask, which holds on to much of the slide
  // around him at times.
  cv::bitwise_not(notYetWork, taken_);
  cv::bitwise_and(taken_, speaker_.stillSlide(), taken_);
  shiftTolerantChange(work, firstWork_, kChanged, changed_);
  cv::bitwise_or(hisSince_, speaker_.body(), hisSince_);
  if (uncover_) addUncovered(screenBgr, colourWork);
  if (heldBack_) addHeldBack(screenBgr, colourWork);
  if (!limbs_.empty()) addArmsGone(screenBgr, work, colourWork);
  copyWhereTaken(screenBgr, taken_, seen_, picture_);
  unseen_.setTo(0, taken_);
  // Found there again, or changed since while not yet taken, he was there in the first look:
  // he stood still or stepped away, or the body the first look was judged by missed part of
  // him.
  firstOnly_.setTo(0, taken_);
  cv::bitwise_or(changed_, speaker_.body(), taken_);
  cv::bitwise_and(firstOnly_, taken_, taken_);
  cv::bitwise_or(unseen_, taken_, unseen_);
}

// Still, clear of him, changed since the first look and never taken since: what the first
// look took there was someone in front, when it now shows the slide's background.
void CleanSlide::addUncovered(const cv::Mat& screenBgr, const cv::Mat& colourWork) {
  cv::Mat candidates, colour, uncovered;
  cv::bitwise_and(changed_, speaker_.stillSlide(), candidates);
  candidates.setTo(0, everTaken_);
  candidates.setTo(0, taken_);
  cv::bitwise_or(everTaken_, taken_, everTaken_);
  if (cv::countNonZero(candidates) < kSome) return;
  if (colourWork.size() == taken_.size() && colourWork.type() == screenBgr.type())
    colour = colourWork;
  else
    cv::resize(screenBgr, colour, taken_.size(), 0, 0, cv::INTER_AREA);
  if (firstColour_.empty())
    cv::resize(firstScreen_, firstColour_, taken_.size(), 0, 0, cv::INTER_AREA);
  // Where he was found, or what was never seen, and the blur of his outline round it.
  cv::Mat his;
  cv::bitwise_or(hisSince_, unseen_, his);
  cv::dilate(his, his, cv::Mat(), {-1, -1}, 2);
  uncoveredSlide(colour, firstColour_, candidates, fineGrained(firstScreen_, candidates), taken_,
                 his, uncovered);
  cv::bitwise_or(taken_, uncovered, taken_);
}

// Never seen, held still and away from wherever he was found since the slide appeared: the
// decision's reference may not have come back yet from someone who stood there before.
void CleanSlide::addHeldBack(const cv::Mat& screenBgr, const cv::Mat& colourWork) {
  cv::Mat candidates, nearHim;
  cv::dilate(hisSince_, nearHim, cv::Mat(), {-1, -1}, kOutline / 2);
  cv::bitwise_and(unseen_, speaker_.stillSlide(), candidates);
  candidates.setTo(0, taken_);
  candidates.setTo(0, nearHim);
  if (cv::countNonZero(candidates) < kSome) return;
  cv::Mat colour = colourWork, expected, shown;
  if (colour.size() != taken_.size() || colour.type() != screenBgr.type())
    cv::resize(screenBgr, colour, taken_.size(), 0, 0, cv::INTER_AREA);
  cv::resize(picture_, expected, taken_.size(), 0, 0, cv::INTER_AREA);
  fillFromSurround(expected, unseen_);
  heldBackSlide(colour, expected, candidates, fineGrained(screenBgr, candidates), shown);
  cv::bitwise_or(taken_, shown, taken_);
}

// An arm the first look took that has gone: its place, changed and still, shows the slide.
void CleanSlide::addArmsGone(const cv::Mat& screenBgr, const cv::Mat& work,
                             const cv::Mat& colourWork) {
  LimbLooks looks;
  looks.colour = colourWork;
  looks.firstColour = firstColour_;
  looks.unseen = unseen_;
  looks.screen = screenBgr;
  looks.work = work;
  looks.background = speaker_.background();
  if (colourWork.size() != work.size() || colourWork.type() != screenBgr.type())
    cv::resize(screenBgr, looks.colour, work.size(), 0, 0, cv::INTER_AREA);
  cv::resize(picture_, looks.picture, work.size(), 0, 0, cv::INTER_AREA);
  cv::Mat gone, parts;
  limbsGone(limbs_, looks, speaker_.stillSlide(), changed_, gone, armParts_ ? &parts : nullptr);
  cv::bitwise_or(taken_, gone, taken_);
  if (!parts.empty()) cv::bitwise_or(taken_, parts, taken_);
  limbs_.setTo(0, gone);
}

const cv::Mat& CleanSlide::picture() {
  if (picture_.empty() || unseen_.empty() || cv::countNonZero(unseen_) == 0) return picture_;
  filledPicture(picture_, unseen_, shown_);
  return shown_;
}

cv::Mat CleanSlide::endPicture(bool filled) {
  cv::Mat ended;
  std::swap(ended, filled && &picture() == &shown_ ? shown_ : picture_);
  return ended;
}

void filledPicture(const cv::Mat& picture, const cv::Mat& unseenWork, cv::Mat& filled) {
  if (picture.empty() || unseenWork.empty() || cv::countNonZero(unseenWork) == 0) {
    filled = picture;
    return;
  }
  // The fill must not reach the picture through a shared buffer.
  if (filled.data == picture.data) filled.release();
  cv::Mat unseen;
  cv::resize(unseenWork, unseen, picture.size(), 0, 0, cv::INTER_NEAREST);
  picture.copyTo(filled);
  fillFromSurround(filled, unseen);
}

}  // namespace slidetrack
