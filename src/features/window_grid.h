#pragma once
// Feature rows of a whole level of windows at once. The window weight is a Gaussian bell,
// the product of one profile along each axis, so every window's sums split into sums
// along image rows, shared by all windows over that row, then sums of those down the
// window. The rows equal windowOrientationHistogram's up to float rounding.

#include <vector>

#include <opencv2/core.hpp>

namespace slidetrack {

// Largest bin count the bin image can hold.
constexpr int kMaxGridBins = 256;

// bins(y, x) = trunc(angle(y, x) * binCount / 361), clamped to 0 .. binCount - 1, as
// CV_8UC1. binCount must be 1 .. kMaxGridBins.
void orientationBinImage(const cv::Mat& angle, int binCount, cv::Mat& bins);

// The windows of one level whose top-left corners are (xs[j], ys[i]), all inside the
// images, each profile.size() on a side: rows[i * colCount + j] (binCount floats) gets
// the sum over the window of profile[r] * profile[c] * magnitude in bin bins(p), scaled to
// unit length. scratch is kept by the caller so a steady run allocates nothing.
void levelWindowHistograms(const cv::Mat& magnitude, const cv::Mat& bins,
                           const std::vector<float>& profile, const int* ys, int rowCount,
                           const int* xs, int colCount, float* const* rows, int binCount,
                           std::vector<float>& scratch);

// Scales a row to unit Euclidean length exactly as cv::normalize with NORM_L2 does: the
// norm summed in double in groups of four, the factor 1 / norm applied as a float, and
// a row of norm up to DBL_EPSILON set to zero.
void unitLengthRow(float* row, int n);

}  // namespace slidetrack
