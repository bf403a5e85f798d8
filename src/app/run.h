#pragma once
// One run of slidetrack over a video: the options checked, the settings read and checked,
// the pipeline with its observers, the configuration written back after the screen search.

#include "app/run_options.h"

namespace slidetrack {

// Exit statuses of a run.
constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;  // video, settings or originals could not be used
constexpr int kExitUsage = 2;    // no input video given

// Runs with the given options and returns the exit status of a run that ended its own
// way. Anything that stops it is an Error, for main to report.
int slidetrackRun(const RunOptions& options);

}  // namespace slidetrack
