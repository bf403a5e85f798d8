#pragma once
// What the feature rows leave out, per window: how strong its gradients were before the
// row was scaled to unit length, and whether a covering mask hides it.

#include <cstdint>
#include <vector>

#include <opencv2/core.hpp>

namespace slidetrack {

struct GradDistExtractor;

// The window bell's weighted mean gradient magnitude of every feature window, in the
// feature matrix's row order, from the pyramid of the extractor's last extraction of a
// height x width image; 0 for the rows the extractor leaves zero. A unit row says nothing
// of this: faint noise on an empty area becomes as long a row as a line of text.
void windowStrengths(const GradDistExtractor& extractor, int height, int width,
                     std::vector<float>& strengths);

// covered[j] = 1 when the central part of window j (the part its bell weighs most) is at
// least a third covered. mask: 8-bit, any size (the screen image's, presentWidth x
// presentHeight), 255 where something stands in front of the screen; it is scaled onto
// the height x width feature image. An empty mask covers nothing.
void windowsCovered(const GradDistExtractor& extractor, int height, int width, const cv::Mat& mask,
                    std::vector<uint8_t>& covered);

}  // namespace slidetrack
