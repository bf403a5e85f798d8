#pragma once
// Replacing a file so that readers see either the old or the new complete content.

#include <functional>
#include <string>

namespace slidetrack {

// Creates a temporary file beside path, lets write fill it through its descriptor
// (write must not close it, returns false when it failed), flushes it to disk and renames
// it over path. On any failure the temporary is removed, path is left as it was, and an
// Error names what the file is ("the results file"), path and the cause. The new file keeps the
// permissions of the file it replaces; a path that names anything but a regular file (or a link to
// one) is refused.
void replaceFileAtomically(const std::string& path, const std::string& what,
                           const std::function<bool(int fd)>& write);

// Replaces path with exactly text, as above.
void replaceFileWithText(const std::string& path, const std::string& what, const std::string& text);

}  // namespace slidetrack
