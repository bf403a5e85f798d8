#pragma once
// How the projected screen is searched for when no corners are known.

#include <string>

namespace slidetrack {

struct ScreenSearchOptions {
  int boardDetLow = 120;     // first-pass low edge threshold of the board detector
  int boardDetHigh = 150;    // first-pass high edge threshold of the board detector
  int presentDetCount = 10;  // sample frames searched for the screen
  // "cues": candidates from straight edges, chosen by brightness, change and shape, corners
  // refined to sub-pixel; "plain": the board detector's best quadrilateral, unrefined.
  std::string boardChoice = "cues";
  // Least grey-level step from outside to inside along each side of a screen.
  int boardMinContrast = 10;

  bool plain() const { return boardChoice == "plain"; }
};

// Throws an Error naming configFile and the first unusable key.
void checkScreenSearchOptions(const ScreenSearchOptions& options, const std::string& configFile);

}  // namespace slidetrack
