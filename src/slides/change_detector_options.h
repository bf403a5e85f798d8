#pragma once
// The slide change decision's settings, each named by its configuration key.

#include <memory>
#include <string>

namespace slidetrack {

struct SlideChangeDetector;

struct ChangeDetectorOptions {
  int slideDiffBuff = 10;         // frames in the edge-map detector's ring
  int slideDetWidth = 160;        // columns of the edge-map detector's maps
  int slideDetHeight = 120;       // rows of the edge-map detector's maps
  float slideDiffThresh = 0.01f;  // stored by the edge-map detector, not used in its decision
  float slideDistrThresh = 0.3f;  // stored by the edge-map detector, not used in its decision
  // "robust" (the default) or "plain", the edge-map rule of SlideChangeDetector; the keys
  // below are the robust decision's.
  std::string slideDetMethod = "robust";
  int slideChangeThresh = 24;  // grey levels a pixel must differ by, beyond a one-pixel shift
  int slideCellSize = 16;      // decision cell side in work pixels (half the screen image)
  int slideChangeCells = 2;    // changed cells outside the speaker that make a change
  int slideChangePersist = 1;  // 1: new content must still be there a processed frame later
  // 1: what a slide's picture never showed is taken from its matched original, when the
  // talk's originals are given; 0: filled from the picture's own surround alone.
  int slideFillFromOriginal = 1;
  // Changed cells the person mask took in, away from where he stood and from any body seen,
  // make a change when at least this share of the cells seen there; 0: never.
  float slideChangeBeside = 0.3f;
  // 1: what the speaker uncovers and differs from what the reference saw there before he
  // covered it makes a change; 0 (the default): it stays in his mask. The reference takes in
  // parts of a speaker in clothes near the slide's grey, which then count as uncovered.
  int slideChangeUncovered = 0;
  // 1: the picture also takes what the first look took from someone in front once the screen
  // shows the slide's plain background there; 0: only what the decision lets it take.
  int slidePictureUncovered = 1;
  // Processed frames after which a still part of a hole that shows the slide's background or
  // fine detail, as text does, is taken for the slide: a speaker is plain regions off that
  // background. 0: only still regions on the background are taken back.
  int slideHoleSettle = 5;
  // 1: a change large enough beside the speaker (slideChangeBeside) is judged there also when
  // the person mask leaves cells of its own: a mask that took in most of a new slide's text
  // leaves a few by his head or hands, which a body found in either image then explains away.
  // 0: only when the mask leaves too few.
  int slideBesideOverMask = 1;
  // 1: where a matched record's picture differs from its original in large solid regions
  // (a speaker who stood there all the time, or a smear of him) the original is taken, when
  // it explains the picture around them; 0: only what was never seen comes from it.
  int slideSpeakerFromOriginal = 1;
  // 1: the picture's own look for the speaker also takes clothing of the slide's grey whose
  // tint sets it apart, a body the decision's hole touches when a slide appears, and his
  // outline there where it borders fine detail; 0: as before.
  int slidePictureSpeaker = 1;
  // 1: a body that touches what the decision holds back is also looked for among plain pixels
  // whose colour is faintly off the slide background's, so a speaker in a shirt of nearly
  // its colour who never moves stays out of the picture; 0: as before.
  int slidePictureFaint = 1;
  // 1: in a run without originals, a record whose slide picture shows the same content as the
  // one before it, where both saw the slide, joins it (a change the speaker made); 0: as before.
  int slideJoinSame = 1;
  // 1: a run that neither saves nor shows slide pictures joins (slideJoinSame) on the
  // decision's reference of each slide, in colour at the work size, instead of making the
  // pictures for it; 0: it makes them.
  int slideJoinLooks = 1;
  // 1: at the second look of new content that took over half the visible slide (judged
  // without the person mask), cells where something moved since the first, or on a body in
  // the later image, tell nothing: a speaker walking across as the slide changes no longer
  // puts it off; 0: such cells count against the change.
  int slideConfirmMoving = 1;
  // 1: changed cells beside the speaker (slideChangeBeside) that hold a row wider than half
  // the screen, a new block or line of text rather than a person, need half that share;
  // 0: the same share for all.
  int slideBesideWide = 1;
  // 1: the look for a speaker whose clothes share the slide's grey, by their tint, takes the
  // background's colour from the upper part's own background grey when light falling off
  // towards the top leaves too few pixels there near the whole slide's; 0: no tint is looked
  // for then, and such a speaker who stands or points is taken for new content.
  int slideTintUpper = 1;
  // 1: a change of which the person mask leaves a quarter of the cells or fewer is also judged
  // beside the speaker (slideChangeBeside), however small: the few cells the mask leaves by
  // his head or hands would have to carry its second look alone; 0: only a large one.
  int slideBesideSwallowed = 1;
  // 1: when the second look of new content finds ten times as many other changed cells, the
  // first was a stir of the speaker's and the change is named at the second look; 0: always at
  // the first.
  int slideConfirmFresh = 1;
  // 1: short, wide runs of sharp, still pieces that the reference lacks (a new line of text)
  // leave the person mask, which took them in where they touch him; 0: the mask keeps them.
  int slideMaskText = 0;
  // 1: of what hides part of a new slide from its start, new lines of text (newTextLines) that
  // were not there two processed frames before the change are the new slide's: it showed a
  // frame before the decision saw it, and the person mask took in its lines there. 0: all that
  // looks as in the old slide's last frame stays hidden.
  int slideStartSettled = 1;
  // 1: an arm the picture's first look took, a thin plain region off the slide's background
  // that reaches in from a body or the screen's edge, gives way to the slide once its place
  // shows the slide, still and changed; 0: the picture keeps it while the decision holds it.
  int slidePictureArms = 1;
  // 1: new content whose pen strokes (thin lines in a saturated colour) make long, simple
  // lines, as writing does and letters of text do not, one of them reaching to the speaker, is
  // ink written on the slide even when nothing was written on it before: the first strokes of
  // a talk or of a new pen, and such lines whose ends show beside him while his mask holds
  // the rest; 0: strokes join the slide only after others, or once seen being drawn. Off: a
  // build of thin coloured lines at his hand can pass for them.
  int slideInkShape = 0;
  // 1: two records joined as one slide get one picture made of both, where they differ the
  // one the matched original explains; 0: the picture of the one nearer the original alone.
  int slideJoinBoth = 1;
  // 1: a slide started from outside (the matcher saw another original) leaves out of its hole
  // the new lines of text the person mask had taken in; 0: the whole mask stays hidden.
  int slideRestartLines = 1;
  // 1: with slidePictureArms, of such an arm that has not gone as a whole (joined to a slide's
  // bar, which never changes), the parts it left that hold still give way to the slide where
  // they show it; 0: only the whole region gives way.
  int slidePictureArmParts = 1;
  // 1: at the second look, a waiting cell that no longer differs from the reference but did
  // not change since the first look either (new content near the threshold, which the
  // camera's exposure brought nearer the old slide) neither confirms nor refutes the change;
  // 0: it refutes it, as a cell the slide came back to does.
  int slideConfirmUnmoved = 1;
  // 1: where the decision still holds back what the speaker was never found in since the
  // slide appeared (its reference not yet back from someone who stood there before), the
  // picture takes the print that holds still there, and the background round it; 0: that
  // stays unseen, filled from around it.
  int slidePictureHeldBack = 1;
  // 1: where the reference holds a plain region off the slide's background (a hand or sleeve
  // taken in with the slide) and the screen now differs there without one, within a cell of
  // where he is, someone has gone from in front: the slide he uncovered is no new content;
  // 0: it counts as new content.
  int slideFrontGone = 1;
  // 1, with slideJoinSame: thin strokes in a saturated colour that make a line of typeset text
  // one picture has and the other lacks keep the two apart (a build in a coloured font); 0:
  // they are a pen's, as all such strokes are.
  int slideJoinText = 1;
  // 1: at a slide change, a body in the new image (in grey or by its colour) that reaches the
  // screen's lower edge where the image did not change (someone who stood still through the
  // change, whom the old reference may have taken in) is left unseen in the new slide's
  // reference, as one who moved is; 0: only one who moved or whom the person mask held.
  int slideStartStanding = 1;

  bool plain() const { return slideDetMethod == "plain"; }
};

// Throws an Error naming configFile and the first unusable key.
void checkChangeDetectorOptions(const ChangeDetectorOptions& options,
                                const std::string& configFile);

// An edge-map detector for checked options.
std::unique_ptr<SlideChangeDetector> slideDetCreate(const ChangeDetectorOptions& options);

}  // namespace slidetrack
