#pragma once
// The command line of a run, parsed into one value that the run can be tested with.

#include <optional>
#include <string>
#include <vector>

namespace slidetrack {

struct RunOptions {
  std::optional<std::string> inputVideo;       // "-i", required
  std::string outputXml;                       // "-o", default inputVideo + ".xml"
  std::string configFile;                      // "-c", default inputVideo + ".cfg.xml"
  std::optional<std::string> imagesPath;       // "-p", prefix of every slide picture path
  std::optional<std::string> slidesOriginals;  // "-s", results-format list of originals
  bool showWindows = true;                     // "-show" / "-hide"; needs a display too
};

// args[0] is the program name. Unknown arguments and a value option standing last are
// ignored; a repeated option overrides the earlier value.
RunOptions parseRunOptions(const std::vector<std::string>& args);

extern const char* const kUsageText;

}  // namespace slidetrack
