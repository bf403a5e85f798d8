#pragma once
// Slide change decision that a speaker, camera shake and lighting drift do not fool.
//
// Fed the rectified BGR screen image of every processed frame, it compares a half-size
// grey work image against a reference of the current slide with a one-pixel shift
// tolerance, masks what a person in front of the screen covers (filling the reference in
// where he uncovers it), and decides on a grid of cells over the visible rest. New content
// must, by default, still be there one processed frame later; the decision then names the
// earlier frame, where it first appeared.

#include <vector>

#include <opencv2/core.hpp>

#include "slides/change_detector_options.h"
#include "slides/clean_slide.h"

namespace slidetrack {

class RobustChangeDetector {
 public:
  struct Decision {
    bool changed = false;
    // Processed frames before this one at which the new slide first appeared (0 or 1).
    int framesBack = 0;
  };

  explicit RobustChangeDetector(const ChangeDetectorOptions& options) : options_(options) {
    clean_.takeUncovered(options.slidePictureUncovered == 1);
    clean_.findStill(options.slidePictureSpeaker == 1);
    clean_.findFaint(options.slidePictureFaint == 1);
    clean_.findArms(options.slidePictureArms == 1);
    clean_.findArmParts(options.slidePictureArmParts == 1);
    clean_.takeHeldBack(options.slidePictureHeldBack == 1);
  }

  // screenBgr: 8-bit BGR, the same size every call. The first call primes and says no change.
  Decision process(const cv::Mat& screenBgr);
  // Another slide starts at the screen image last processed (given again here), though
  // the decision saw none.
  void restart(const cv::Mat& screenBgr);
  // New content waits for its second look, which the end of the video may cut off.
  bool changePending() const { return hasPending_; }
  // The current slide's picture, the speaker filled in from what he uncovered; what was
  // never seen shows the slide's background colour.
  const cv::Mat& slidePicture() { return fill_ ? clean_.picture() : clean_.takenPicture(); }
  const cv::Mat& takenPicture() const { return clean_.takenPicture(); }
  // Whether the pictures are made at all (they are by default): a run that neither saves
  // nor shows them is spared their cost; the pictures are then empty.
  void keepPictures(bool keep) { clean_.keep(keep); }
  // Off: the pictures keep what was never seen as it was taken (filledPicture() with their
  // unseen map fills it), for a run that only compares some of them. On by default.
  void fillPictures(bool fill) { fill_ = fill; }
  // After a change: the picture of the slide that has just ended.
  const cv::Mat& endedPicture() const { return ended_; }
  // Work size, 255 where the slide's picture was never seen: now, and in the picture of the
  // slide that has just ended.
  const cv::Mat& unseenMask() const { return clean_.unseen(); }
  // The grey of the last screen image processed, as cvtColor BGR2GRAY gives it.
  const cv::Mat& screenGrey() const { return grey_; }
  const cv::Mat& endedUnseen() const { return endedUnseen_; }
  // The slide as the reference holds it, in colour at the work size, and (work size, 255)
  // what of it is no slide: never seen, or covered by someone. A run that makes no pictures
  // compares these instead; the ended slide's are kept at each change.
  const cv::Mat& referenceLook() const { return refColour_; }
  const cv::Mat& referenceUnseen() const;
  const cv::Mat& endedLook() const { return endedLook_; }
  const cv::Mat& endedLookUnseen() const { return endedLookUnseen_; }
  // Work size, 255 on the new content that started the current slide, and the ended one
  // (empty for a slide the decision did not start).
  const cv::Mat& startContent() const { return startContent_; }
  const cv::Mat& endedContent() const { return endedContent_; }
  // Keeps the ended slide's reference look at each change (off by default).
  void keepLooks(bool keep) { keepLooks_ = keep; }
  // Work-size map (half the screen image), 255 where the slide is covered by a person or
  // not yet seen since it appeared. Pixels there should not vote in any comparison.
  const cv::Mat& coveredMask() const { return covered_; }
  // Whether the last screen image processed left the visible slide as it was: fewer pixels
  // than one cell needs differ from the reference outside what is covered, and nothing waits
  // for a second look.
  bool quiet() const { return quiet_; }
  // The grey work image of the last screen image processed.
  const cv::Mat& workImage() const { return previous_; }
  // Whether that image shows the visible slide as earlier, a work image of this run, did:
  // fewer pixels than one cell needs differ, beyond a one-pixel shift, outside what is covered.
  bool unchangedSince(const cv::Mat& earlier) const;

 private:
  struct Cells {
    int cols = 0, rows = 0;
    std::vector<int> counts;
  };
  void prime(const cv::Mat& screenBgr);
  void countCells(const cv::Mat& map, const cv::Mat& exclude, Cells& cells) const;
  int cellPixels() const;
  void newPixels(const std::vector<unsigned char>& flags, cv::Mat& fresh) const;
  std::vector<unsigned char> inkCells(const cv::Mat& screenBgr,
                                      const std::vector<unsigned char>& flags, cv::Mat& ink) const;
  void takeInk(const cv::Mat& ink);
  bool confirmPending();
  // Whether the second look finds changed cells, beyond those that waited for it, in numbers
  // far past theirs; they are then the decision's cells.
  bool freshBeyondPending();
  // Changed cells the person mask took in that lie away from where he stood and from a
  // body seen in either image: when enough, they become the decision's cells.
  bool newBesideSpeaker(const cv::Mat& coveredBefore, int& hit);
  int widestRun(const Cells& cells) const;
  // What the speaker uncovered and the person mask still holds, where it differs from the
  // reference: when it makes enough cells, the cells are counted without it.
  bool uncoveredChange(int& hit);
  // confirmed: the new slide has been seen twice, this frame and the one before.
  void startSlide(const cv::Mat& screenBgr, bool confirmed);
  // Keeps the old slide's last work images at a candidate frame.
  void keepBefore();
  void beginReference(const cv::Mat& screenBgr, const cv::Mat& base);
  void followSlide(const cv::Mat& screenBgr);
  void releaseStillSlide(cv::Mat& release);
  void findRim();
  void keepEnded(const cv::Mat& person);
  void lookUnseen(const cv::Mat& person, cv::Mat& unseen) const;

  ChangeDetectorOptions options_;
  cv::Mat grey_, work_, previous_;
  cv::Mat ref_;           // the slide as last seen, work size
  cv::Mat hole_;          // 255 where the slide has not been seen since it appeared
  cv::Mat standing_;      // who stood through the change and has not moved since
  cv::Mat occluder_;      // what stood in the holes when they were made
  cv::Mat firstLook_;     // the slide as first seen, work size
  cv::Mat unseen_;        // 255 where the slide has not been seen at all since it started
  cv::Mat filled_;        // taken from a hole as it looked, without a comparison, since then
  cv::Mat rim_;           // changed pixels along filled_'s edge: the speaker's blurred outline
  int background_ = 255;  // grey that most of the visible slide lies near, for a body
  int commonGrey_ = 255;  // most common grey of it, for taking still regions back
  cv::Mat stillAge_;      // processed frames since something moved near each pixel
  cv::Mat faint_;         // changes at half the threshold, for finding a person
  cv::Mat personBefore_;  // the person mask before the candidate frame
  cv::Mat beforeChange_;  // the last work image of the old slide
  cv::Mat colour_;        // the screen image at work size, for clothing in the slide's grey
  cv::Mat refColour_;     // the same for what the reference holds
  cv::Mat changed_, moving_, holeChanged_, suspect_, person_, covered_, seen_;
  // The work images of the two processed frames before this one, and at a candidate frame the
  // one before beforeChange_.
  cv::Mat older_, newer_, beforeBefore_;
  Cells cells_;
  std::vector<unsigned char> pending_;  // cells of new content waiting for a second look
  bool hasPending_ = false;
  bool pendingWhole_ = false;  // the pending change took over half the visible slide
  bool fill_ = true;
  bool quiet_ = false;
  std::vector<unsigned char> pendingInk_;  // pending cells that look like pen strokes
  int sinceInk_ = 255;  // processed frames since strokes were taken into the slide
  CleanSlide clean_;
  cv::Mat ended_, endedUnseen_;
  mutable cv::Mat lookUnseen_;
  cv::Mat endedLook_, endedLookUnseen_;
  cv::Mat startContent_, endedContent_;
  bool keepLooks_ = false;
  cv::Size frameSize_;
};

}  // namespace slidetrack
