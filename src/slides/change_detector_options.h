#pragma once
// The slide change detector's settings.

#include <memory>
#include <string>

namespace slidetrack {

struct SlideChangeDetector;

struct ChangeDetectorOptions {
  int slideDiffBuff = 10;         // frames in the slide change detector's ring
  int slideDetWidth = 160;        // columns of the detector's edge maps
  int slideDetHeight = 120;       // rows of the detector's edge maps
  float slideDiffThresh = 0.01f;  // stored by the detector, not used in its decision
  float slideDistrThresh = 0.3f;  // stored by the detector, not used in its decision
};

// Throws an Error naming configFile and the first unusable key.
void checkChangeDetectorOptions(const ChangeDetectorOptions& options,
                                const std::string& configFile);

// A detector for checked options.
std::unique_ptr<SlideChangeDetector> slideDetCreate(const ChangeDetectorOptions& options);

}  // namespace slidetrack
