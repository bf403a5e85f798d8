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
  // The run's two fatal conditions keep their historic form, which names this line of
  // the original program: "Error: <message> (Main, .\main:<line>)".
  Error(Kind kind, const std::string& message, int mainLine)
      : std::runtime_error(message), kind_(kind), mainLine_(mainLine) {}

  Kind kind() const { return kind_; }
  int mainLine() const { return mainLine_; }  // 0 when the message stands alone

 private:
  Kind kind_;
  int mainLine_ = 0;
};

}  // namespace slidetrack
