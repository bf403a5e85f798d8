#pragma once
// What the gradient-distribution features are computed on and how finely.

#include <string>

namespace slidetrack {

struct FeatureOptions {
  int localWidth = 320;        // width of the feature image
  int localHeight = 240;       // height of the feature image
  int locWndSize = 31;         // side of a feature window in pixels
  float locWndOverlap = 0.3f;  // overlap of neighbouring feature windows
  int gradBinSize = 8;         // orientation bins of a local feature
};

// Throws an Error naming configFile and the first unusable key.
void checkFeatureOptions(const FeatureOptions& options, const std::string& configFile);

// Window step as a fraction of the window side: about 100 x locWndOverlap steps across
// the feature image.
float featureStepRatio(const FeatureOptions& options);

}  // namespace slidetrack
