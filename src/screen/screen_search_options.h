#pragma once
// How the projected screen is searched for when no corners are known.

#include <string>

namespace slidetrack {

struct ScreenSearchOptions {
  int boardDetLow = 120;     // first-pass low edge threshold of the board detector
  int boardDetHigh = 150;    // first-pass high edge threshold of the board detector
  int presentDetCount = 10;  // sample frames searched for the screen
};

// Throws an Error naming configFile and the first unusable key.
void checkScreenSearchOptions(const ScreenSearchOptions& options, const std::string& configFile);

}  // namespace slidetrack
