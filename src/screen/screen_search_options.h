#pragma once
// Settings of the screen search that decides between candidate quadrilaterals by what real
// screens look like, read from the Presentation section after the design's keys.

#include <string>

namespace slidetrack {

struct ScreenSearchOptions {
  // "cues": candidates from straight edges, chosen by brightness, change and shape, corners
  // refined to sub-pixel; "plain": the board detector's best quadrilateral, unrefined.
  std::string boardChoice = "cues";
  // Least grey-level step from outside to inside along each side of a screen.
  int boardMinContrast = 10;

  bool plain() const { return boardChoice == "plain"; }
  // Throws Error naming the offending key and the configuration file.
  void check(const std::string& path) const;
};

}  // namespace slidetrack
