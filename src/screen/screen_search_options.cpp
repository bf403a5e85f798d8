#include "screen/screen_search_options.h"

#include "common/error.h"

namespace slidetrack {

void ScreenSearchOptions::check(const std::string& path) const {
  if (boardChoice != "cues" && boardChoice != "plain")
    throw Error(Error::Kind::kSettings, "Configuration file '" + path + "': boardChoice is '" +
                                            boardChoice + "', expected 'cues' or 'plain'.");
  if (boardMinContrast < 1 || boardMinContrast > 255)
    throw Error(Error::Kind::kSettings, "Configuration file '" + path +
                                            "': boardMinContrast must lie in 1 to 255, not " +
                                            std::to_string(boardMinContrast) + ".");
}

}  // namespace slidetrack
