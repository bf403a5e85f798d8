#pragma once
// Optional parts of the program built as modules and loaded only when a run needs them:
// their libraries cost start-up time that most runs would pay for nothing.

#include <string>

namespace slidetrack {

// Loads fileName from beside the running program (a build tree), else from the module
// directory of an installed one, found relative to the program itself. The module stays
// loaded until the process ends. On failure, one line naming `what` and the cause goes to
// standard error and nullptr is returned.
void* runtimeModuleLoad(const std::string& fileName, const std::string& what);

// The entry point `name` of a loaded module, or nullptr.
void* runtimeModuleSymbol(void* module, const char* name);

}  // namespace slidetrack
