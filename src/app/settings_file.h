#pragma once
// The configuration file: read into the run's settings, and written back with the
// screen corners the run found.

#include <string>
#include <vector>

#include "app/settings.h"

namespace slidetrack {

struct ConfigurationRead {
  PresentationSettings settings;
  std::vector<std::string> warnings;  // one line per value of the wrong kind
};

// Reads the file at path only; a missing or empty file gives the defaults. An Error names
// the file and the cause when it is there but cannot be read or parsed.
ConfigurationRead readConfiguration(const std::string& path);

// Replaces the file atomically with every setting and the corners, when known. The file
// name's extension chooses the format (XML, YAML or JSON). An Error tells why it failed.
void writeConfiguration(const std::string& path, const PresentationSettings& settings);

}  // namespace slidetrack
