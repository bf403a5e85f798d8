#pragma once
// Makes sure an output directory exists before the run writes into it.

#include <string>

namespace slidetrack {

// Creates every missing directory along path ("/" and "\" both separate components;
// empty components are skipped; "." and ".." are followed, never created). A path that
// starts with a separator is taken from the file-system root, otherwise from the
// working directory, which is never changed. A colon is an ordinary character. Returns 1
// when every directory exists or was created, 0 otherwise (an empty path, a component
// that exists as a file or cannot be created), with errno telling why. Directories
// created before a failure remain.
int directoryPathCreate(const std::string& path);

}  // namespace slidetrack
