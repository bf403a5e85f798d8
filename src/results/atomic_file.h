#pragma once
// Replacing a file so that readers see either the old or the new complete content.

#include <functional>
#include <string>

namespace slidetrack {

// Creates a temporary file beside path, lets write fill it through its descriptor
// (write must not close it), flushes it to disk and renames it over path. On any
// failure the temporary is removed, path is left as it was, and false is returned.
// The new file keeps the permissions of the file it replaces.
bool replaceFileAtomically(const std::string& path, const std::function<bool(int fd)>& write);

// Replaces path with exactly text, as above.
bool replaceFileWithText(const std::string& path, const std::string& text);

}  // namespace slidetrack
