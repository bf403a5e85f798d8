#include "matching/matcher_options.h"

#include <cmath>

#include "common/error.h"

namespace slidetrack {

void checkMatcherOptions(const MatcherOptions& options, const std::string& configFile) {
  // Any ratio is a usable limit (0 never decides, above 1 always does); NaN compares false
  // with everything and would leave the decision to the order of the comparisons.
  if (std::isnan(options.matchLimit))
    throw Error(Error::Kind::kSettings,
                "Invalid settings in '" + configFile + "': matchLimit must be a number.");
}

}  // namespace slidetrack
