#pragma once
// How much of the speaker is left in a run's saved slide pictures, and how much of the
// slide around him they lost.

#include <optional>
#include <string>
#include <vector>

#include <opencv2/core.hpp>

#include "ground_truth.h"
#include "results/slide_list.h"

// One scored picture.
struct PictureScore {
  std::string file;
  int start = 0, end = 0;  // the record's interval
  int slide = -1;          // the slide shown most in it
  double share = 0;        // of the slide's pixels: the speaker still shown
  double damage = 0;       // of the slide's pixels away from him: lost slide content
  double hidden = 0;       // of share: pixels he covered in every processed frame
};

struct SpeakerShareScore {
  int pictures = 0;  // saved pictures scored
  double mean = 0, max = 0;
  double damageMean = 0, damageMax = 0;
  double seenMax = 0;  // the largest share less hidden: what some processed frame showed
  std::vector<PictureScore> each;
};

// The speaker masks of the given frames, drawn from their stored poses and mapped through
// `toScreen` (frame to rectified screen) into one union mask of the screen's size; `always`,
// when given, gets where he stood in every one of them (empty where a frame lacks him).
cv::Mat speakerMaskOnScreen(const std::vector<TruthFrame>& truth, const std::vector<int>& frames,
                            const cv::Matx33d& toScreen, cv::Size screen,
                            cv::Mat* always = nullptr);

// The share of one picture's pixels that lie under the speaker mask and do not show what
// the clean screen shows there: both 8-bit BGR, blurred alike, the clean screen's colours
// brought to the picture's (tone channel by channel, smooth gain for uneven light) where
// nobody stood; a pixel counts when, even a pixel off, one of them holds what the other
// lacks by more than 40 levels in some channel: the speaker shown, or slide content he hid
// lost. `valid` marks the pixels the slide covers.
double speakerShare(const cv::Mat& picture, const cv::Mat& clean, const cv::Mat& valid,
                    const cv::Mat& speakerMask, double* damage = nullptr,
                    const cv::Mat& alwaysMask = cv::Mat(), double* hidden = nullptr);
// damage, when given: by the same rule, the share of the slide's pixels outside the mask
// that differ from the clean screen, slide content a fill or a smear lost. hidden, when
// given: the part of the returned share that lies under alwaysMask, where no picture taken
// from the video could show the slide.

// Over every record with a saved picture: its true slide is the one shown most in its
// interval; its clean screen the slide's picture (lectureDir/slides/slide_N.png) put where
// the truth has it and rectified with the run's corners to presentSize; its mask the union
// of the speaker over the interval's processed frames. Relative picture paths are taken
// from runDir.
SpeakerShareScore scoreSpeakerShare(const slidetrack::SlideList& results,
                                    const std::vector<TruthFrame>& truth,
                                    const std::string& lectureDir, const std::string& runDir,
                                    const Quad& corners, cv::Size presentSize, int frameStep);
