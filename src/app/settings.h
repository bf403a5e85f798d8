#pragma once
// Every tunable value of a run, as the configuration file holds them, and the options of
// each algorithm taken from them.

#include <string>

#include <opencv2/core.hpp>

#include "features/feature_options.h"
#include "matching/matcher_options.h"
#include "screen/screen_search_options.h"
#include "slides/change_detector_options.h"

namespace slidetrack {

struct PresentationSettings {
  int presentWidth = 640;            // width of the rectified screen image
  int presentHeight = 480;           // height of the rectified screen image
  int boardDetLow = 120;             // first-pass low edge threshold of the board detector
  int boardDetHigh = 150;            // first-pass high edge threshold of the board detector
  int presentDetCount = 10;          // sample frames searched for the screen
  cv::Mat boardPoints;               // 1x4 CV_32FC2 screen corners; empty when none known
  std::string boardChoice = "cues";  // how the search decides: "cues" or "plain"
  int boardMinContrast = 10;         // least grey step across each side of a screen
  int slideFrameStep = 25;           // frames between processed frames
  int slideDiffBuff = 10;            // frames in the slide change detector's ring
  int slideDetWidth = 160;           // columns of the detector's edge maps
  int slideDetHeight = 120;          // rows of the detector's edge maps
  float slideDiffThresh = 0.01f;     // stored by the detector, not used in its decision
  float slideDistrThresh = 0.3f;     // stored by the detector, not used in its decision
  float slideStepSeconds = 1.f;      // longest step in seconds of video; 0: slideFrameStep alone
  std::string slideDetMethod = "robust";  // "robust" change decision, or "plain" edge maps
  int slideChangeThresh = 24;             // grey levels a pixel must change by (robust)
  int slideCellSize = 16;                 // decision cell side in half-size pixels (robust)
  int slideChangeCells = 2;               // changed visible cells that make a change (robust)
  int slideChangePersist = 1;             // 1: new content must last a processed frame
  int slideFillFromOriginal = 1;          // 1: what was never seen comes from the matched original
  float slideChangeBeside = 0.3f;         // share of changed cells beside the speaker; 0: off
  int slideChangeUncovered = 0;           // 1: what the speaker uncovers can be a change
  int slidePictureUncovered = 1;          // 1: the picture takes the background he uncovered
  int slideHoleSettle = 5;                // processed frames a still hole waits to be slide; 0: off
  int slideBesideOverMask = 1;            // 1: a large change beside him counts over the mask
  int slideSpeakerFromOriginal = 1;       // 1: a matched picture shows the original where he stood
  int slidePictureSpeaker = 1;            // 1: the picture finds a tinted or still speaker too
  int slidePictureFaint = 1;              // 1: and one barely off the slide where held back
  int slideJoinSame = 1;                  // 1: without originals, same pictures in a row join
  int slideJoinLooks = 1;                 // 1: a run making no pictures joins on reference looks
  int slideConfirmMoving = 1;             // 1: the second look leaves out cells where he moves
  int slideBesideWide = 1;                // 1: a wide row beside him needs half the share
  int slideTintUpper = 1;                 // 1: his tint is told against the upper part's grey
  int slideBesideSwallowed = 1;           // 1: a change his mask took most of is judged beside
  int slideConfirmFresh = 1;              // 1: far more new at the second look starts there
  int slideMaskText = 0;                  // 1: new lines of text leave the person mask
  int slideStartSettled = 1;              // 1: its lines seen early leave a new slide's hole
  int slidePictureArms = 1;               // 1: an arm gone from the first look leaves the picture
  int slideInkShape = 0;                  // 1: long, simple pen lines are ink from the first
  int slideJoinBoth = 1;                  // 1: a joined record's picture takes from both records
  int slideRestartLines = 1;              // 1: a restarted slide's new lines leave its hole
  int slidePictureArmParts = 1;           // 1: the parts an arm left give way on their own
  int slideConfirmUnmoved = 1;            // 1: what held still between the looks refutes nothing
  int slidePictureHeldBack = 1;           // 1: print the decision holds back away from him is taken
  int slideFrontGone = 1;                 // 1: a hand the reference took leaves no new content
  int slideJoinText = 1;                  // 1: a line of coloured text keeps pictures apart
  int slideStartStanding = 1;             // 1: one who stands still stays out of the reference
  float locWndOverlap = 0.3f;             // overlap of neighbouring feature windows
  int locWndSize = 31;                    // side of a feature window in pixels
  int localWidth = 320;                   // width of the feature image
  int localHeight = 240;                  // height of the feature image
  float matchLimit = 0.5f;  // runner-up / best vote ratio below which a match is decided
  int gradBinSize = 8;      // orientation bins of a local feature
  // After the keys above: the decision. "plain" is the vote ratio under matchLimit alone.
  std::string matchMethod = "evidence";
  float matchMargin = 0.2f;          // evidence share between the two nearest originals for a match
  float matchFit = 0.4f;             // share of the content windows the match must explain
  float matchJumpMargin = 0.4f;      // evidence share for an original out of the deck's order
  float matchUnexplained = 0.12f;    // more picture cells unexplained than the same original before
  float matchChangeDistance = 0.1f;  // a window changed in the interval: may name another original
  int matchWithdraw = 1;             // 1: a record's match goes when its evidence stops deciding it
  int matchJoinSame = 1;             // 1: two records in a row sure of one original are one slide
  float matchFitDrop = 0.35f;     // frames fit the record's original below this share: record ends
  int matchJoinContent = 1;       // 1: where two records to join differ, the original picks one
  int matchJoinRefused = 1;       // 1: one the picture check alone refused joins on same pictures
  float matchQuietMargin = 0.4f;  // a settled interval's unchanged frames repeat the last read
  int matchLeanFrames = 4;        // frames leaning to the next original that start it anew
  int matchDropJump = 1;          // 1: an undecided interval loses a match out of order
  float matchJoinMargin = 0.2f;   // evidence share two records in a row need to join
  int matchDropRepeat = 1;        // 1: an undecided interval loses the last slide's original
};

ScreenSearchOptions screenSearchOptions(const PresentationSettings& s);
ChangeDetectorOptions changeDetectorOptions(const PresentationSettings& s);
FeatureOptions featureOptions(const PresentationSettings& s);
MatcherOptions matcherOptions(const PresentationSettings& s);

// Settings the run cannot work with end it before any frame is touched: an Error names
// configFile and the first unusable key.
void checkSettings(const PresentationSettings& s, const std::string& configFile);

// False for corners that cannot outline a screen in a frame of that size: equal or
// collinear corners, crossing sides, a tiny area, corners far outside the frame.
bool cornersCanBeScreen(const cv::Mat& corners, const cv::Size& frame);

// The map from corners (TL, TR, BR, BL) to the presentWidth x presentHeight rectangle.
cv::Mat perspectiveFromCorners(const cv::Mat& boardPoints, int presentWidth, int presentHeight);

}  // namespace slidetrack
