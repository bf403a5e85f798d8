#pragma once
// Tells for every processed frame which original slide the screen shows.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <opencv2/core.hpp>

#include "features/grad_dist.h"
#include "matching/frame_matcher.h"
#include "matching/original_library.h"
#include "results/slide_list.h"

namespace slidetrack {

struct PresentationSettings;
struct IntervalStage;
class Display;

struct MatchingStage {
  std::unique_ptr<GradDistExtractor> extractor;
  int featureCount = 0;
  int featureLength = 0;
  cv::Mat featureMatrix;
  cv::Mat featureImage;
  std::unique_ptr<SlideList> originals;
  std::unique_ptr<OriginalSlideLibrary> library;  // the originals that could be read
  std::vector<int> listIndex;  // for each original of library, its index in originals
  FrameMatcher matcher;
  int matchIndex = 0;
  double matchScore = 0.0;
  bool matchDecided = false;
};

bool matchingEnabled(const MatchingStage& stage);
// The matching keys of the configuration; check() them before the run starts.
SlideMatchOptions matchingOptions(const PresentationSettings& settings);
// Initialises the extractor and makes the feature matrix.
void matchingStageInit(MatchingStage& stage, const PresentationSettings& settings);
// Reads the originals and builds their library. A file that gives no slide leaves
// matching off with one warning on standard error. Returns false when the user pressed
// Esc during the build.
bool matchingStageLoad(MatchingStage& stage, const std::optional<std::string>& originalsPath,
                       const PresentationSettings& settings, Display& display);
// Clears the accumulated votes; called at every slide change.
void matchingStageReset(MatchingStage& stage);
// Scores the frame, decides, and records the match in the open record.
void matchingStageProcess(MatchingStage& stage, IntervalStage& intervals, int t,
                          const cv::Mat& presentGray, const PresentationSettings& settings);
// The matched original's picture at the presentation size, or an empty matrix when the
// frame decided no match or the picture cannot be loaded.
cv::Mat matchingStageDisplayImage(const MatchingStage& stage, const IntervalStage& intervals,
                                  const PresentationSettings& settings);

}  // namespace slidetrack
