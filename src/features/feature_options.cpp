#include "features/feature_options.h"

#include "common/error.h"

namespace slidetrack {

namespace {

// Far above any screen picture; larger sizes (a wrong-kind value reads as 2147483647)
// would only end the run in a failed allocation or an endless extraction.
constexpr int kMaxSide = 16384;
// Orientations are whole degrees, so more bins stay empty.
constexpr int kMaxBins = 360;

}  // namespace

void checkFeatureOptions(const FeatureOptions& o, const std::string& configFile) {
  std::string problem;
  if (o.localWidth < 1 || o.localHeight < 1 || o.localWidth > kMaxSide || o.localHeight > kMaxSide)
    problem = "localWidth and localHeight must be between 1 and " + std::to_string(kMaxSide);
  else if (o.locWndSize < 1)
    problem = "locWndSize must be at least 1";
  else if (o.localWidth <= o.locWndSize || o.localHeight <= o.locWndSize)
    problem = "localWidth and localHeight must be larger than locWndSize";
  else if (o.gradBinSize < 1 || o.gradBinSize > kMaxBins)
    problem = "gradBinSize must be between 1 and " + std::to_string(kMaxBins);
  // Below one pixel of window step the windows only repeat.
  else if (!(o.locWndOverlap > 0.f) ||
           !(100.0 * o.locWndOverlap <= static_cast<double>(o.localWidth) - o.locWndSize))
    problem = "locWndOverlap must be above 0 and give a window step of at least one pixel";
  if (!problem.empty())
    throw Error(Error::Kind::kSettings,
                "Invalid settings in '" + configFile + "': " + problem + ".");
}

float featureStepRatio(const FeatureOptions& o) {
  return static_cast<float>((static_cast<double>(o.localWidth) - o.locWndSize) /
                            (o.locWndSize * 100 * static_cast<double>(o.locWndOverlap)));
}

}  // namespace slidetrack
