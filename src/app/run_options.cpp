#include "app/run_options.h"

namespace slidetrack {

const char* const kUsageText =
    "program -i input_video [-o output.xml] [-c config.xml] [-p images_path] [-s "
    "slidesOriginals]\n\n";

RunOptions parseRunOptions(const std::vector<std::string>& args) {
  RunOptions options;
  const size_t count = args.size();
  for (size_t i = 1; i < count; ++i) {
    const std::string& arg = args[i];
    const bool hasValue = i + 1 < count;
    if (arg == "-i" && hasValue) {
      options.inputVideo = args[++i];
    } else if (arg == "-o" && hasValue) {
      options.outputXml = args[++i];
    } else if (arg == "-c" && hasValue) {
      options.configFile = args[++i];
    } else if (arg == "-p" && hasValue) {
      options.imagesPath = args[++i];
    } else if (arg == "-s" && hasValue) {
      options.slidesOriginals = args[++i];
    } else if (arg == "-show") {
      options.showWindows = true;
    } else if (arg == "-hide") {
      options.showWindows = false;
    }
  }
  if (options.inputVideo) {
    if (options.configFile.empty()) options.configFile = *options.inputVideo + ".cfg.xml";
    if (options.outputXml.empty()) options.outputXml = *options.inputVideo + ".xml";
  }
  return options;
}

}  // namespace slidetrack
