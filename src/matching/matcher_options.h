#pragma once
// When the votes of a slide's frames name one original.

#include <string>

namespace slidetrack {

struct MatcherOptions {
  float matchLimit = 0.5f;  // runner-up / best vote ratio below which a match is decided
};

// Throws an Error naming configFile when matchLimit is not a number.
void checkMatcherOptions(const MatcherOptions& options, const std::string& configFile);

}  // namespace slidetrack
