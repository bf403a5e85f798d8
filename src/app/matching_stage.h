#pragma once
// Tells for every processed frame which original slide the screen shows. The pipeline
// applies the decision to the slide list.

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <opencv2/core.hpp>

#include "features/feature_options.h"
#include "features/grad_dist.h"
#include "matching/frame_matcher.h"
#include "matching/matcher_options.h"
#include "matching/original_library.h"
#include "results/slide_list.h"

namespace slidetrack {

// What the whole evidence of the interval that ended last decided, in originals.
struct EndedMatch {
  const SlideRecord* decided = nullptr;   // null when it decided none
  const SlideRecord* expected = nullptr;  // the original last decided when it began
  double margin = 0;                      // the share of the evidence that sided with it
  const SlideRecord* leading = nullptr;   // the original it leaned to most, decided or not
  bool pictureRefused = false;  // the evidence decided leading; only the picture check did not
  bool matchDropped = false;    // it decided none, and the record loses the match its frames took
};

struct MatchingStage {
  FeatureOptions features;
  MatcherOptions matcher;
  std::unique_ptr<GradDistExtractor> extractor;
  int featureCount = 0;
  int featureLength = 0;
  cv::Mat featureMatrix;
  cv::Mat featureImage;
  std::unique_ptr<SlideList> originals;
  // The originals that could be read; unread and unreadCauses still name list indices.
  std::unique_ptr<OriginalSlideLibrary> library;
  FrameMatcher frameMatcher;
  std::deque<int> recentFrames;  // the processed frames since the last reset, newest last
  EndedMatch ended;              // set when an interval ended, at a reset or within the last frame
  int lastRead = -1;             // the last processed frame the matcher read
  cv::Mat readWork;              // and its grey work image, when the change decision makes one
  // A frame put aside while its new content waits for a second look; -1 when none.
  int heldFrame = -1;
  cv::Mat heldGrey, heldCovered, heldWork;
};

struct MatchDecision {
  bool decided = false;
  const SlideRecord* original = nullptr;  // the best original, decided or not
  double score = 0.0;  // smaller is surer: the vote ratio, or 1 - the evidence margin
  // The frame at which the frames began to show this original when they overruled the
  // interval's earlier evidence; -1 otherwise.
  int since = -1;
  // The last record that ended matched named this original too but showed a slide that is not
  // among the originals: its match is taken back.
  bool previousWithdrawn = false;
  // The open record's original no longer explains the frames since since: it ends before them.
  bool recordEnds = false;
};

enum class OriginalsOutcome { kNotGiven, kUnusable, kBuilt, kAborted };

bool matchingEnabled(const MatchingStage& stage);
// Initialises the extractor and makes the feature matrix.
void matchingStageInit(MatchingStage& stage, const FeatureOptions& features,
                       const MatcherOptions& matcher);
// Reads the originals and builds their library; a file that gives no slide leaves matching
// off. kAborted when the user pressed Esc in the progress picture.
OriginalsOutcome matchingStageLoad(MatchingStage& stage, const std::string& originalsPath,
                                   const ProgressViewer& viewer);
// Forgets the interval's evidence; called at every reported slide change. lastFrameIsNext: the
// change first showed in the last frame processed; with matchMethod evidence the ended
// interval is then decided again without it and that decision returned (original set),
// otherwise the original is null.
MatchDecision matchingStageReset(MatchingStage& stage, bool lastFrameIsNext = false);
// Scores frame number t and decides on the evidence since the last change. coveredMask:
// empty, or 8-bit over the screen image, 255 where something stands in front of the screen.
MatchDecision matchingStageProcess(MatchingStage& stage, int t, const cv::Mat& presentGray,
                                   const cv::Mat& coveredMask = cv::Mat());
// How a processed frame is read (matchQuietMargin). While the interval's evidence is settled, a
// frame that shows the visible slide as the last frame read did (quiet tells, asked only then;
// coveredMask as for matchingStageProcess must leave the matcher using it) is passed over: that
// frame decides for it. One whose new content waits for its second look (waits) is held: once
// the change is confirmed its evidence would leave the ended interval again, and it is read
// only if the change is not.
enum class FrameReading { kRead, kPassOver, kHold };
FrameReading matchingStageReading(const MatchingStage& stage, bool waits,
                                  const std::function<bool()>& quiet, const cv::Mat& coveredMask);
// Puts frame t aside, with copies of its grey screen, covered mask and work image.
void matchingStageHold(MatchingStage& stage, int t, const cv::Mat& presentGray,
                       const cv::Mat& coveredMask, const cv::Mat& work);
// Frame t, passed over (FrameReading::kPassOver), counts as the frame read last once more.
MatchDecision matchingStageRepeat(MatchingStage& stage, int t);
// The verdict of the interval that ended since the last call, if any; forgotten once taken.
EndedMatch matchingStageTakeEnded(MatchingStage& stage);

}  // namespace slidetrack
