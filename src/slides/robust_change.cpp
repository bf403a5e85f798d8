#include "slides/robust_change.h"

#include <algorithm>

#include <opencv2/imgproc.hpp>

#include "slides/front_gone.h"
#include "slides/ink_strokes.h"
#include "slides/mask_text.h"
#include "slides/shift_diff.h"
#include "slides/speaker_body.h"
#include "slides/speaker_either.h"
#include "slides/speaker_mask.h"

namespace slidetrack {

namespace {

// A speaker covers at most about a third of the screen; when over half of what was visible
// changed at once, it is the slide whatever the shape of the change.
constexpr double kWholeSlideShare = 0.5;
// Ink strokes come this many processed frames apart at most while someone writes.
constexpr int kInkGap = 2;
constexpr double kDrawnShare = 0.2;

}  // namespace

int RobustChangeDetector::cellPixels() const {
  // A short word of new text changes this many work pixels of a cell; noise that survives
  // the shift tolerance stays in ones and twos.
  return std::max(4, options_.slideCellSize * options_.slideCellSize / 32);
}

// Takes the new pixels into the slide as written on it.
void RobustChangeDetector::takeInk(const cv::Mat& ink) {
  work_.copyTo(ref_, ink);
  changed_.setTo(0, ink);
  sinceInk_ = 0;
}

void RobustChangeDetector::prime(const cv::Mat& screenBgr) {
  screenWorkImage(screenBgr, grey_, work_);
  ref_ = work_.clone();
  occluder_ = work_.clone();
  previous_ = work_.clone();
  older_ = work_.clone();
  newer_ = work_.clone();
  hole_ = cv::Mat::zeros(work_.size(), CV_8UC1);
  firstLook_ = work_.clone();
  unseen_ = hole_.clone();
  filled_ = hole_.clone();
  rim_ = hole_.clone();
  covered_ = hole_.clone();
  person_ = hole_.clone();
  stillAge_ = cv::Mat::zeros(work_.size(), CV_8UC1);
  cv::resize(screenBgr, colour_, work_.size(), 0, 0, cv::INTER_AREA);
  refColour_ = colour_.clone();
  clean_.start(screenBgr, work_, hole_);
  frameSize_ = screenBgr.size();
  hasPending_ = false;
}

void RobustChangeDetector::keepBefore() {
  previous_.copyTo(beforeChange_);
  older_.copyTo(beforeBefore_);
}

// New content seen one frame ago counts when most of it is still there and still.
bool RobustChangeDetector::confirmPending() {
  Cells still, moved;
  // A new slide that took over half the screen was judged without his mask: where he walks
  // now, or stands in a body of his own, he neither confirms nor refutes it.
  const bool walkedOver = pendingWhole_ && options_.slideConfirmMoving == 1;
  cv::Mat hidden = covered_;
  if (walkedOver) {
    cv::Mat body, live;
    cv::bitwise_or(moving_, covered_, live);
    speakerBody(work_, background_, live, body);
    cv::bitwise_or(body, covered_, hidden);
  }
  countCells(changed_, hidden, still);
  countCells(moving_, hidden, moved);
  int good = 0, bad = 0, seen = 0;
  for (size_t c = 0; c < pending_.size(); ++c) {
    if (!pending_[c] || still.counts[c] < 0) continue;
    // Someone moving there hides the slide or has just left it, as it was a frame ago.
    if (walkedOver && moved.counts[c] >= cellPixels()) continue;
    // What did not change since the first look and differs no more was near the threshold
    // (a plain colour the camera's exposure brought nearer the old slide's), not gone.
    if (options_.slideConfirmUnmoved == 1 && still.counts[c] < cellPixels() &&
        moved.counts[c] < cellPixels())
      continue;
    ++seen;
    if (still.counts[c] < cellPixels())
      ++bad;  // the slide is back: something passed by
    else if (moved.counts[c] < cellPixels())
      ++good;
  }
  // Most of it must have stayed: a passer-by leaves a few cells that happen to hold still.
  return good >= options_.slideChangeCells && 2 * good >= seen && good >= 3 * bad;
}

RobustChangeDetector::Decision RobustChangeDetector::process(const cv::Mat& screenBgr) {
  Decision decision;
  quiet_ = false;
  if (ref_.empty() || screenBgr.size() != frameSize_) {
    prime(screenBgr);
    return decision;
  }
  const int thresh = options_.slideChangeThresh;
  cv::swap(older_, newer_);
  previous_.copyTo(newer_);
  // The reference's colour: what it took from the last frame, it took in that frame's colour.
  cv::Mat taken;
  cv::compare(ref_, previous_, taken, cv::CMP_EQ);
  colour_.copyTo(refColour_, taken);
  screenWorkImage(screenBgr, grey_, work_);
  cv::resize(screenBgr, colour_, work_.size(), 0, 0, cv::INTER_AREA);
  shiftTolerantChange(work_, ref_, thresh, changed_);
  // Slide the reference lost to someone in clothes of its colour comes back as it was first
  // seen; only what differs from that too is new.
  cv::Mat fresh;
  shiftTolerantChange(work_, firstLook_, thresh, fresh);
  cv::bitwise_or(fresh, unseen_, fresh);
  cv::bitwise_and(changed_, fresh, changed_);
  shiftTolerantChange(work_, previous_, thresh, moving_);

  if (sinceInk_ < 255) ++sinceInk_;
  // Pen strokes that go on after the candidate's are someone writing, not a new slide:
  // the strokes join it, also in cells where something else changed too.
  if (hasPending_ && !pendingInk_.empty()) {
    cv::Mat fresh, written, strokes, ink, pendingStrokes;
    newPixels({}, fresh);
    writtenStrokes(screenBgr, fresh, moving_, written, strokes);
    const int count = cv::countNonZero(written), drawn = cv::countNonZero(strokes);
    bool pen = drawn >= cellPixels() && 2 * drawn >= count;
    if (pen) {
      newPixels(pending_, pendingStrokes);
      inkStrokes(screenBgr, pendingStrokes, pendingStrokes);
      // Strokes of another colour are no pen going on: a pointing arm in coloured clothes.
      pen = !(options_.slideChangeBeside > 0) || sameInk(screenBgr, strokes, pendingStrokes);
    }
    if (pen) {
      newPixels(pendingInk_, ink);
      cv::bitwise_or(ink, pendingStrokes, ink);
      takeInk(ink);
      Cells left;
      countCells(changed_, covered_, left);
      for (size_t c = 0; c < pending_.size(); ++c)
        if (pendingInk_[c] || left.counts[c] < cellPixels()) pending_[c] = 0;
    }
  }
  if (hasPending_ && confirmPending()) {
    // A stir of the speaker's that the new slide happened to confirm: it starts now.
    if (options_.slideConfirmFresh == 1 && freshBeyondPending()) {
      keepBefore();
      person_.copyTo(personBefore_);
      decision = {true, 0};
      startSlide(screenBgr, false);
      cv::swap(previous_, work_);
      return decision;
    }
    decision = {true, 1};
    startSlide(screenBgr, true);
    cv::swap(previous_, work_);
    return decision;
  }
  hasPending_ = false;

  // Whole-slide changes, judged on what was visible before, so that a new slide does not
  // pass for a person.
  countCells(changed_, covered_, cells_);
  int visible = 0, hit = 0;
  for (int count : cells_.counts) {
    visible += count >= 0;
    hit += count >= cellPixels();
  }
  bool candidate =
      visible > 0 && hit >= options_.slideChangeCells && hit >= kWholeSlideShare * visible;
  person_.copyTo(personBefore_);

  // Otherwise what a person covers is left out: changed slide pixels, holes that still
  // show the one who made them, and holes where something moves. On a whole-slide change
  // everything differs, so the last frame's mask stands. New content beside him may join
  // his mask; a second look needs the mask as it was, so the new one gets a buffer of its own.
  const int wholeHit = hit;
  const cv::Mat coveredBefore = covered_;
  int changedPixels = cellPixels();
  if (!candidate) {
    shiftTolerantChange(work_, occluder_, thresh, holeChanged_);
    cv::Mat holeStill, holeMoving, known;
    cv::bitwise_and(hole_, moving_, holeMoving);
    cv::bitwise_not(holeChanged_, holeStill);
    cv::bitwise_and(holeStill, hole_, holeStill);
    cv::bitwise_not(hole_, known);
    // A person is looked for at half the threshold: clothing close to the slide's
    // background in grey must still join the arm and head to the body.
    shiftTolerantChange(work_, ref_, std::max(1, thresh / 2), faint_);
    cv::bitwise_and(faint_, known, suspect_);
    cv::bitwise_or(suspect_, holeStill, suspect_);
    cv::bitwise_or(suspect_, holeMoving, suspect_);
    speakerMask(suspect_, personBefore_, person_);
    // A line of a build that touches him joins his region, though it is the slide's.
    if (options_.slideMaskText == 1) {
      cv::Mat text, unknown;
      cv::bitwise_or(hole_, unseen_, unknown);
      cv::bitwise_or(unknown, filled_, unknown);
      newTextLines(work_, ref_, changed_, moving_, unknown, background_, text);
      person_.setTo(0, text);
    }
    covered_ = cv::Mat();
    cv::bitwise_or(person_, hole_, covered_);
    // A hole is the speaker's mask, which misses the blur of his outline: what it left along
    // the edge of a filled hole is no new content.
    findRim();
    cv::bitwise_or(covered_, rim_, covered_);
  }
  if (!candidate) {
    countCells(changed_, covered_, cells_);
    hit = 0;
    changedPixels = 0;
    for (int count : cells_.counts) {
      hit += count >= cellPixels();
      changedPixels += std::max(0, count);
    }
    candidate = hit >= options_.slideChangeCells;
    // A mask that took in most of a new slide's text leaves a few cells by his head or
    // hands, which the look for a body below explains away: a change large enough to be
    // judged beside him is judged there.
    const bool large =
        options_.slideBesideOverMask == 1 && wholeHit >= options_.slideChangeBeside * visible;
    // The same holds for a smaller change of which the mask left only a few cells: they
    // alone would face the second look, where his moving hands undo them.
    const bool swallowed = options_.slideBesideSwallowed == 1 && wholeHit >= 4 * hit;
    if (wholeHit >= options_.slideChangeCells && (!candidate || large || swallowed) &&
        newBesideSpeaker(coveredBefore, hit))
      candidate = true;
    if (!candidate) candidate = uncoveredChange(hit);
  }
  // Strokes added to part of the slide soon after others, or drawn bit by bit, are someone
  // writing on it: they join the slide.
  pendingInk_.clear();
  if (candidate && hit < kWholeSlideShare * visible) {
    std::vector<unsigned char> flags(cells_.counts.size());
    for (size_t c = 0; c < flags.size(); ++c) flags[c] = cells_.counts[c] >= cellPixels();
    cv::Mat ink, earlier;
    std::vector<unsigned char> inky = inkCells(screenBgr, flags, ink);
    const int count = cv::countNonZero(ink);
    // Part of it was there a frame ago already and part is new: it is being drawn, not
    // shown at once. A build that something kept from counting a frame ago is all there.
    cv::bitwise_and(ink, ~moving_, earlier);
    const int before = cv::countNonZero(earlier);
    const bool drawn = before >= kDrawnShare * count && count - before >= kDrawnShare * count;
    // Long, simple lines in ink, one of which reaches to where he stands, are written, whether
    // or not others came before them: a pen draws at his hand. Far from him, a line of
    // coloured text blurred by the distance looks the same.
    bool lines = false;
    if (options_.slideInkShape == 1) {
      cv::Mat strokes, near;
      inkStrokes(screenBgr, ink, strokes);
      const int reach = options_.slideCellSize + 1;
      cv::dilate(covered_, near, cv::getStructuringElement(cv::MORPH_RECT, {reach, reach}));
      lines = 2 * penLinePixels(strokes, options_.slideCellSize, near) >= count;
    }
    if (count >= 2 * cellPixels() && (sinceInk_ <= kInkGap || drawn || lines)) {
      takeInk(ink);
      hit = 0;
      for (size_t c = 0; c < flags.size(); ++c) {
        if (inky[c]) cells_.counts[c] = 0;
        hit += cells_.counts[c] >= cellPixels();
      }
      candidate = hit >= options_.slideChangeCells;
    } else if (count >= 2 * cellPixels()) {
      pendingInk_ = inky;
    }
  }
  // Someone the reference holds shows no change where he stands, so the mask above misses
  // him; his raised arm or turned head is then a loose change. When nothing but that is
  // left once a body found in either image alone is left out, there is no change.
  if (candidate && hit < kWholeSlideShare * visible) {
    cv::Mat hidden, live;
    cv::bitwise_or(moving_, covered_, live);
    // He may hold still since the frame before; what differs from the reference is live too.
    cv::bitwise_or(live, changed_, live);
    speakerInEither({work_, colour_}, {ref_, refColour_}, background_, commonGrey_, live, covered_,
                    hidden, options_.slideTintUpper == 1);
    cv::bitwise_or(hidden, covered_, hidden);
    // A hand or sleeve the reference took in with the slide has gone: the slide shows there.
    // The reference keeps it until he has moved on: what left it may yet be new content.
    if (options_.slideFrontGone == 1) {
      cv::Mat gone;
      frontGone({work_, colour_}, {ref_, refColour_}, background_, commonGrey_, changed_, covered_,
                hidden, gone);
      cv::bitwise_or(hidden, gone, hidden);
    }
    // Pen lines that run on under him show only their ends beside him: ink, not new content.
    if (options_.slideInkShape == 1) {
      cv::Mat seen, lines;
      cv::bitwise_and(changed_, ~hidden, seen);
      penLinesThrough(screenBgr, changed_, seen, options_.slideCellSize, lines);
      cv::bitwise_or(hidden, lines, hidden);
    }
    Cells rest;
    countCells(changed_, hidden, rest);
    int left = 0;
    for (int count : rest.counts) left += count >= cellPixels();
    // As with new content that does not last, the reference waits for a calmer frame. Too
    // few cells are left for a change, as for one seen where nobody stands.
    if (left < options_.slideChangeCells) {
      cv::swap(previous_, work_);
      return decision;
    }
  }
  if (candidate && options_.slideChangePersist == 0) {
    keepBefore();
    decision = {true, 0};
    startSlide(screenBgr, false);
    cv::swap(previous_, work_);
    return decision;
  }
  if (candidate) {
    keepBefore();
    // The picture and the reference wait for the second look: in a new slide's pixels
    // that happen to match the old one they would mix the two slides.
    pending_.assign(cells_.counts.size(), 0);
    for (size_t c = 0; c < pending_.size(); ++c) pending_[c] = cells_.counts[c] >= cellPixels();
    hasPending_ = true;
    pendingWhole_ = wholeHit >= kWholeSlideShare * visible;
  } else {
    quiet_ = changedPixels < cellPixels() && pendingInk_.empty();
    followSlide(screenBgr);
  }
  cv::swap(previous_, work_);
  return decision;
}

}  // namespace slidetrack
