#pragma once
// The checks on a run's paths that come before any work: no output destroys an input, every
// path written into the results file can be read back, and every output can be written.

#include "app/run_options.h"

namespace slidetrack {

// An Error names the path and the cause: a control character or bytes that are not UTF-8 in
// a path the results file holds, or an output that is also an input or another output
// (compared as normalised absolute paths, so also for files not there yet).
void checkRunPaths(const RunOptions& options);

// Creates the images path and finds now what would keep the results file or a slide
// picture from being written; an Error names the path and the cause.
void prepareOutputs(const RunOptions& options);

}  // namespace slidetrack
