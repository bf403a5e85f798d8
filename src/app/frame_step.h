#pragma once
// How many frames the loop moves on between processed frames.

namespace slidetrack {

// slideFrameStep, but never more frames than stepSeconds of video hold at framesPerSecond
// (at least 1), so a low frame rate does not skip whole slides. A stepSeconds of 0, or a
// frame rate that is not known, leaves slideFrameStep alone.
int frameStepFor(int slideFrameStep, double stepSeconds, double framesPerSecond);

}  // namespace slidetrack
