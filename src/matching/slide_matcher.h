#pragma once
// Scores a frame's features against every original and decides a match from votes.

#include <opencv2/core.hpp>

namespace slidetrack {

struct OriginalSlideLibrary;

// Fills voteRow (1 x N CV_32FC1, made on the first call) with the frame's votes; returns
// the index of the original with the most votes (the lowest among equals). A frame
// matrix whose shape differs from the library's elements casts no votes: -1.
int slideMatchScore(const OriginalSlideLibrary& library, const cv::Mat& frameFeatures,
                    double* bestVote, cv::Mat& voteRow);
// 1 when the runner-up / best ratio of the accumulated votes is below limit. When no
// original has any vote (all zero, or no originals) the result is no match with index 0
// and ratio 1.0, so callers always get a valid index and a printable ratio.
int slideMatchDecide(const cv::Mat& matchAccumulator, double limit, int* index, double* ratio);

}  // namespace slidetrack
