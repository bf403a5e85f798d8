#include "matching/match_options.h"

#include "common/error.h"

namespace slidetrack {

namespace {

void require(bool ok, const std::string& configFile, const char* key, const char* range) {
  if (!ok)
    throw Error(Error::Kind::kSettings,
                "Invalid settings in '" + configFile + "': " + key + " must be " + range + ".");
}

}  // namespace

void SlideMatchOptions::check(const std::string& configFile) const {
  require(method == Method::kPlain || method == Method::kEvidence, configFile, "matchMethod",
          "plain or evidence");
  // Written so that a NaN fails every test.
  require(margin > 0.f && margin <= 1.f, configFile, "matchMargin", "above 0 and at most 1");
  require(fit >= 0.f && fit <= 1.f, configFile, "matchFit", "between 0 and 1");
}

SlideMatchOptions::Method slideMatchMethodFromName(const std::string& name) {
  if (name == "plain") return SlideMatchOptions::Method::kPlain;
  if (name == "evidence") return SlideMatchOptions::Method::kEvidence;
  return SlideMatchOptions::Method::kUnknown;
}

const char* slideMatchMethodName(SlideMatchOptions::Method method) {
  return method == SlideMatchOptions::Method::kPlain ? "plain" : "evidence";
}

}  // namespace slidetrack
