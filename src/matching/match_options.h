#pragma once
// How a run decides which original a slide shows.

#include <string>

namespace slidetrack {

struct SlideMatchOptions {
  enum class Method {
    kPlain,     // votes of nearest windows, runner-up / best below matchLimit
    kEvidence,  // distances over the windows that tell originals apart, and a fit test
    kUnknown,   // a name in the configuration that is neither; refused by check()
  };
  Method method = Method::kEvidence;
  float limit = 0.5f;   // matchLimit: the plain decision's ratio
  float margin = 0.3f;  // matchMargin: share of the evidence between the two nearest
                        // originals that must side with the nearest
  float fit = 0.5f;     // matchFit: share of the frame's and the original's content
                        // windows the original must explain

  // Throws slidetrack::Error (settings) naming the key of configFile that is out of range.
  void check(const std::string& configFile) const;
};

// "plain" or "evidence"; kUnknown for any other name.
SlideMatchOptions::Method slideMatchMethodFromName(const std::string& name);
const char* slideMatchMethodName(SlideMatchOptions::Method method);

}  // namespace slidetrack
