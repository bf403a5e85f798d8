// The configuration file: any content is read or refused with an Error, and what is read
// passes or fails the settings check without crashing.

#include "app/settings.h"
#include "app/settings_file.h"
#include "common/error.h"
#include "fuzz_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& path = fuzzWrite(data, size, ".cfg.xml");
  try {
    slidetrack::ConfigurationRead read = slidetrack::readConfiguration(path);
    slidetrack::checkSettings(read.settings, path);
  } catch (const slidetrack::Error&) {
  }
  return 0;
}
