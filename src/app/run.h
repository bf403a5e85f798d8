#pragma once
// One run of slidetrack over a video: the whole order of work from the options to the
// released objects.

#include "app/run_options.h"

namespace slidetrack {

// Exit statuses of a run.
constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;  // video, settings or originals could not be used
constexpr int kExitUsage = 2;    // no input video given

// Runs with the given options and returns the exit status. Failures are raised as
// cv::Exception with function name "Main"; runMain maps them to a status.
int slidetrackRun(const RunOptions& options);

// Runs and maps every failure to one line on standard error and an exit status.
int runMain(const RunOptions& options);

}  // namespace slidetrack
