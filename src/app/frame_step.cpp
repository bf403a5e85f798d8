#include "app/frame_step.h"

#include <algorithm>
#include <cmath>

namespace slidetrack {

int frameStepFor(int slideFrameStep, double stepSeconds, double framesPerSecond) {
  if (!(stepSeconds > 0) || !(framesPerSecond > 0) || !std::isfinite(framesPerSecond))
    return slideFrameStep;
  // Rounded down: the step may be shorter than stepSeconds, never longer. The small
  // allowance keeps an exact 25 x 1.0 from falling to 24 through rounding.
  const double frames = std::floor(framesPerSecond * stepSeconds + 1e-9);
  if (frames >= slideFrameStep) return slideFrameStep;
  return std::max(1, static_cast<int>(frames));
}

}  // namespace slidetrack
