#pragma once
// Replacing a file so that readers see either the old or the new complete content.

#include <cstddef>
#include <functional>
#include <string>

namespace slidetrack {

// True when path names a device, pipe or socket, or an open stream of the process
// (/dev/stdout): such a target is written to directly and never replaced.
bool isStreamTarget(const std::string& path);

// Finds now what would keep path from being written: an Error names what, path and the
// cause (a missing or read-only directory, a directory under that name).
void checkFileWritable(const std::string& path, const std::string& what);

// Creates a temporary file beside path, lets write fill it through its descriptor
// (write must not close it, returns false when it failed), flushes it to disk and renames
// it over path. On any failure the temporary is removed, path is left as it was, and an
// Error names what the file is ("the results file"), path and the cause. The new file keeps the
// permissions of the file it replaces. A stream target (above) is written to directly; a
// directory is refused. Temporaries that a killed run left beside path are removed.
void replaceFileAtomically(const std::string& path, const std::string& what,
                           const std::function<bool(int fd)>& write);

// Writes all of data to fd, going on after interruptions; false on failure.
bool writeAll(int fd, const void* data, size_t size);

// Replaces path with exactly text, as above.
void replaceFileWithText(const std::string& path, const std::string& what, const std::string& text);

}  // namespace slidetrack
