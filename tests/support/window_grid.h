#pragma once
// The feature extractor's grid of windows walked one at a time, as the plain references of the
// feature and evidence tests walk it.

#include <cmath>

#include "features/grad_dist.h"

// Calls visit(k, level, x, y) for every window of the grid over a height x width picture: k its
// row in the feature matrix, (x, y) its corner in its level; whether it fits is the caller's.
template <typename Visit>
void forEachGridWindow(const slidetrack::GradDistExtractor& e, int height, int width, Visit visit) {
  int rows = 0, cols = 0;
  double step = 0.0;
  slidetrack::zorGllfGradDistGetSize(&e, height, width, -1, &rows, &cols, &step);
  for (int level = 0, k = 0; level < e.levelCount; ++level) {
    const int rowsL = rows >> level, colsL = cols >> level;
    for (int i = 0; i < rowsL * colsL; ++i, ++k)
      visit(k, level, static_cast<int>(std::floor((i % colsL) * step)),
            static_cast<int>(std::floor((i / colsL) * step)));
  }
}
