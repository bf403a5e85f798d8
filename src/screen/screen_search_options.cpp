#include "screen/screen_search_options.h"

#include "common/error.h"

namespace slidetrack {

void checkScreenSearchOptions(const ScreenSearchOptions& o, const std::string& configFile) {
  // No sample searches nothing, which is a choice; fewer than none is a slip. The edge
  // thresholds are any gradient magnitudes, so every value is usable.
  if (o.presentDetCount < 0)
    throw Error(Error::Kind::kSettings,
                "Invalid settings in '" + configFile + "': presentDetCount must be at least 0.");
}

}  // namespace slidetrack
