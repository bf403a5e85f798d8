#pragma once
// Gaussian smoothing of an 8-bit grey image computed only at the pixels that a
// nearest-neighbour decimation then samples.

#include <opencv2/core.hpp>

namespace slidetrack {

// Fills target (its size gives the decimation) with what cv::GaussianBlur (kernel sizes
// derived from sx and sy, replicated borders) followed by cv::resize with INTER_NEAREST
// gives for grey, bit for bit: the library smooths 8-bit images in exact fixed point, so
// the sums may be formed in any order. Returns false, touching nothing, for an image the
// equality was not established for (a sub-matrix, kernels under 3 taps or larger than
// the image); the caller then smooths in full.
bool smoothAndSampleGrey(const cv::Mat& grey, cv::Mat& target, double sx, double sy);

// The same for the fixed kernels the library uses when no deviation is given: as
// cv::GaussianBlur(grey, out, kernel, 0, 0, cv::BORDER_REPLICATE) then the decimation.
// Odd kernel sizes 3 to 7 only; false otherwise.
bool smoothAndSampleGreyFixed(const cv::Mat& grey, cv::Mat& target, cv::Size kernel);

}  // namespace slidetrack
