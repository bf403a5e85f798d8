#pragma once
// Feature rows of a whole row of windows at once, from per-pixel bin indices computed
// once per level. The sums are the same, in the same order, as
// windowOrientationHistogram's, so the rows are bit for bit equal to its results.

#include <opencv2/core.hpp>

// Largest bin count the bin image can hold.
constexpr int kMaxGridBins = 256;

// bins(y, x) = trunc(angle(y, x) * binCount / 361), clamped to 0 .. binCount - 1, as
// CV_8UC1. binCount must be 1 .. kMaxGridBins.
void orientationBinImage(const cv::Mat& angle, int binCount, cv::Mat& bins);

// counts(y, x) = number of non-zero magnitudes in row y left of column x, CV_32SC1 with
// one column more than the image.
void nonZeroBefore(const cv::Mat& magnitude, cv::Mat& counts);

// For every window j < count with top-left corner (xs[j], y) and the mask's size: adds
// mask times magnitude into bin bins(p) of rows[j] (binCount floats, all zero before)
// and scales the row to unit length. Windows must lie inside the images; nonZero is
// nonZeroBefore of the magnitudes.
void windowRowHistograms(const cv::Mat& magnitude, const cv::Mat& bins, const cv::Mat& nonZero,
                         const cv::Mat& mask, int y, const int* xs, int count, float* const* rows,
                         int binCount);

// Scales a row to unit Euclidean length exactly as cv::normalize with NORM_L2 does: the
// norm summed in double in groups of four, the factor 1 / norm applied as a float, and
// a row of norm up to DBL_EPSILON set to zero.
void unitLengthRow(float* row, int n);
