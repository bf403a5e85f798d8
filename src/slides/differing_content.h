#pragma once
// Two slide pictures in a row that the matcher gave one original: where their visible content
// differs (text lines that came, went or changed), the original can show at most one of them.
// Where they do not really differ, the change between them was the speaker or the light.

#include <opencv2/core.hpp>

namespace slidetrack {

enum class OriginalSide {
  kSameContent,  // nothing on the slide differs: one slide
  kFirst,        // the original shows what the first picture shows there
  kSecond,       // ... what the second shows there
  kUnclear,      // they differ, and the original shows neither clearly
  kNeither,  // both have marks of their own where they differ, and the original explains neither:
             // something stood in front of the slide in both
};

struct DifferingContent {
  OriginalSide side = OriginalSide::kSameContent;
  double differs = 0.0;  // share of the pixels both pictures saw that differ
  double first = 0.0;    // share of those the fitted original explains in the first only
  double second = 0.0;   // ... in the second only
  // share of the differing pixels where the picture has marks the original lacks there
  double firstOwn = 0.0, secondOwn = 0.0;
};

// first, second, original: 8-bit BGR (original any size, stretched to the pictures');
// firstUnseen, secondUnseen: 8-bit, any size, 255 = never seen, or empty (all seen). Only
// pixels both pictures saw count, and pen strokes in either count for neither.
DifferingContent compareWithOriginal(const cv::Mat& first, const cv::Mat& firstUnseen,
                                     const cv::Mat& second, const cv::Mat& secondUnseen,
                                     const cv::Mat& original);

}  // namespace slidetrack
