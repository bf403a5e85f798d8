#include "slides/change_detector_options.h"

#include "common/error.h"
#include "slides/slide_detector.h"

namespace slidetrack {

namespace {

// Far above any edge map worth comparing; a wrong-kind value reads as 2147483647.
constexpr int kMaxSide = 16384;

}  // namespace

void checkChangeDetectorOptions(const ChangeDetectorOptions& o, const std::string& configFile) {
  std::string problem;
  // The ring's slots are counted in bytes.
  if (o.slideDiffBuff < 1 || o.slideDiffBuff > 255)
    problem = "slideDiffBuff must be between 1 and 255";
  else if (o.slideDetWidth < 1 || o.slideDetHeight < 1 || o.slideDetWidth > kMaxSide ||
           o.slideDetHeight > kMaxSide)
    problem = "slideDetWidth and slideDetHeight must be between 1 and " + std::to_string(kMaxSide);
  if (!problem.empty())
    throw Error(Error::Kind::kSettings,
                "Invalid settings in '" + configFile + "': " + problem + ".");
}

std::unique_ptr<SlideChangeDetector> slideDetCreate(const ChangeDetectorOptions& o) {
  return slideDetCreate(nullptr, o.slideDetHeight, o.slideDetWidth, o.slideDiffBuff,
                        o.slideDiffThresh, o.slideDistrThresh);
}

}  // namespace slidetrack
