#pragma once
// Settings of the slide change decision that holds under a speaker, camera shake and
// lighting drift, each named by its configuration key.

#include <string>

namespace slidetrack {

struct ChangeOptions {
  // "robust" (the default) or "plain", the edge-map rule of SlideChangeDetector.
  std::string method = "robust";  // slideDetMethod
  // Grey levels a pixel must differ by, beyond what a shift of one work pixel explains.
  int diffThresh = 24;  // slideChangeThresh
  // Side of a decision cell in work pixels (the work image is half the screen image).
  int cellSize = 16;  // slideCellSize
  // Changed cells, outside what the speaker covers, that make a slide change.
  int minCells = 2;  // slideChangeCells
  // 1: new content must still be there one processed frame later; 0: decide at once.
  int persist = 1;  // slideChangePersist

  bool plain() const { return method == "plain"; }
  // Throws Error(kSettings) naming the offending key.
  void check() const;
};

}  // namespace slidetrack
