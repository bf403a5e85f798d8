#pragma once
// The picture of the current slide without the speaker: every screen pixel keeps the last
// value it had while it matched the change decision's reference outside the holes the
// slide appeared with, held still over two looks and was not the speaker's in either. The speaker
// is looked for in every image on its own (SpeakerTrack), not against the decision's reference,
// which holds whoever stood in front since before the slide appeared. What the slide's first
// look took under his body then counts as unseen where he is found again before any later look
// shows it clear. Where the first look took someone the body missed (an arm held out), the
// slide's plain background that shows there later, still, is taken all the same. Pixels
// never seen since the slide appeared are filled from the slide seen around them.

#include <opencv2/core.hpp>

#include "slides/speaker_track.h"

namespace slidetrack {

class CleanSlide {
 public:
  // Starts a new slide from this screen image and its grey work image (screenWorkImage);
  // unseenWork (work size, 255 = covered) marks what is not yet the slide.
  void start(const cv::Mat& screenBgr, const cv::Mat& work, const cv::Mat& unseenWork);
  // Takes the screen's pixels the decision does not hold back (notYetWork: work-size 8-bit
  // map, 255 = differs from its reference or not uncovered since the slide appeared) where
  // they held still over the last two looks and are not the speaker's. colourWork, when the
  // caller has it, is the screen image brought to the work size by INTER_AREA.
  void update(const cv::Mat& screenBgr, const cv::Mat& work, const cv::Mat& notYetWork,
              const cv::Mat& colourWork = cv::Mat());
  // The picture, never-seen pixels filled from the seen ones around them.
  const cv::Mat& picture();
  // The picture as taken, never-seen pixels left as they are: filledPicture() of it and
  // unseen() gives picture().
  const cv::Mat& takenPicture() const { return picture_; }
  // The picture, filled or as taken, handed over whole as its slide ends: the next start()
  // makes the next one in a buffer of its own.
  cv::Mat endPicture(bool filled);
  // Work size, 255 where picture() filled what was never seen; empty before the first start.
  const cv::Mat& unseen() const { return unseen_; }
  // A run that neither saves nor shows pictures makes none: start and update do nothing
  // and the picture stays empty. On by default.
  void keep(bool on) { on_ = on; }
  // Whether the picture also takes what the first look took from someone in front once the
  // screen shows the slide's background there, though the decision's reference still holds
  // him (on by default).
  void takeUncovered(bool on) { uncover_ = on; }
  // Whether the speaker is also found by his clothing's tint, and, as a slide appears, where
  // his body touches what the decision holds as unseen, though he stood still since before,
  // with his outline where it borders fine detail (off by default).
  void findStill(bool on) {
    still_ = on;
    speaker_.byTint(on);
  }

  // Whether a body touching what the decision holds back is also found by faint differences
  // from the slide's grey and tint (off by default).
  void findFaint(bool on) { speaker_.byFaintest(on); }
  // Whether an arm the first look took, reaching in from a body or the screen's edge, gives
  // way to the slide once it has gone and its place holds still (off by default).
  void findArms(bool on) { arms_ = on; }
  // Whether, of such an arm that has not gone as a whole (its region joins a slide's bar), the
  // parts it has left give way to the slide on their own where they show it (off by default).
  void findArmParts(bool on) { armParts_ = on; }
  // Whether what the decision still holds back, though he was never found there since the
  // slide appeared, is taken where it holds still and shows print or what the fill would
  // (off by default).
  void takeHeldBack(bool on) { heldBack_ = on; }

 private:
  void addUncovered(const cv::Mat& screenBgr, const cv::Mat& colourWork);
  void addHeldBack(const cv::Mat& screenBgr, const cv::Mat& colourWork);
  void addArmsGone(const cv::Mat& screenBgr, const cv::Mat& work, const cv::Mat& colourWork);

  cv::Mat picture_, shown_;
  cv::Mat unseen_;     // work size, 255 where nothing of the slide has been seen
  cv::Mat seen_;       // the work map brought to the screen size
  cv::Mat firstWork_;  // the work image of the slide's first look
  cv::Mat firstOnly_;  // work size, 255 where only the first look, under his body, was taken
  cv::Mat taken_;
  cv::Mat changed_;      // work size, 255 where the image changed since the first look
  cv::Mat firstScreen_;  // the first look's screen image
  cv::Mat firstColour_;  // the same at the work size, once needed
  cv::Mat hisSince_;     // work size, 255 where the speaker was found since the start
  cv::Mat everTaken_;    // work size, 255 where the picture took the screen since the start
  cv::Mat limbs_;        // work size, 255 on arms the first look took that have not gone yet
  SpeakerTrack speaker_;
  bool on_ = true;
  bool uncover_ = true;
  bool still_ = false;
  bool arms_ = false;
  bool armParts_ = false;
  bool heldBack_ = false;
};

// picture with what unseenWork (work size, 255 = never seen; may be empty) marks filled from
// the seen pixels around it, into filled (a copy, or picture itself when nothing is unseen).
void filledPicture(const cv::Mat& picture, const cv::Mat& unseenWork, cv::Mat& filled);

}  // namespace slidetrack
