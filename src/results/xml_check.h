#pragma once
// Checks a file for well-formed XML before a parser that trusts its input sees it.

#include <string>

namespace slidetrack {

// True when path holds one well-formed XML document whose root element is named root.
bool xmlFileHasRoot(const std::string& path, const char* root);

}  // namespace slidetrack
