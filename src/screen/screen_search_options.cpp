#include "screen/screen_search_options.h"

#include "common/error.h"

namespace slidetrack {

void checkScreenSearchOptions(const ScreenSearchOptions& o, const std::string& configFile) {
  // No sample searches nothing, which is a choice; fewer than none is a slip. The edge
  // thresholds are any gradient magnitudes, so every value is usable.
  std::string problem;
  if (o.presentDetCount < 0)
    problem = "presentDetCount must be at least 0";
  else if (o.boardChoice != "cues" && o.boardChoice != "plain")
    problem = "boardChoice is '" + o.boardChoice + "', expected 'cues' or 'plain'";
  else if (o.boardMinContrast < 1 || o.boardMinContrast > 255)
    problem = "boardMinContrast must lie in 1 to 255, not " + std::to_string(o.boardMinContrast);
  if (!problem.empty())
    throw Error(Error::Kind::kSettings,
                "Invalid settings in '" + configFile + "': " + problem + ".");
}

}  // namespace slidetrack
