#pragma once
// The one error type of the program. Its text is a line for the user that names the file
// and the cause, never source code; main alone turns it into a message and an exit status.

#include <stdexcept>
#include <string>

namespace slidetrack {

class Error : public std::runtime_error {
 public:
  // What went wrong, for the exit status: main maps each kind to one.
  enum class Kind { kUsage, kInput, kSettings, kOutput, kResources };

  Error(Kind kind, const std::string& message) : std::runtime_error(message), kind_(kind) {}

  Kind kind() const { return kind_; }

 private:
  Kind kind_;
};

}  // namespace slidetrack
