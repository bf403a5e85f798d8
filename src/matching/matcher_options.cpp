#include "matching/matcher_options.h"

#include <cmath>

#include "common/error.h"

namespace slidetrack {

namespace {

void require(bool ok, const std::string& configFile, const char* key, const char* range) {
  if (!ok)
    throw Error(Error::Kind::kSettings,
                "Invalid settings in '" + configFile + "': " + key + " must be " + range + ".");
}

}  // namespace

void checkMatcherOptions(const MatcherOptions& options, const std::string& configFile) {
  // Any ratio is a usable limit (0 never decides, above 1 always does); NaN compares false
  // with everything and would leave the decision to the order of the comparisons.
  require(!std::isnan(options.matchLimit), configFile, "matchLimit", "a number");
  require(options.method != MatcherOptions::Method::kUnknown, configFile, "matchMethod",
          "plain or evidence");
  // Written so that a NaN fails every test.
  require(options.matchMargin > 0.f && options.matchMargin <= 1.f, configFile, "matchMargin",
          "above 0 and at most 1");
  require(options.matchFit >= 0.f && options.matchFit <= 1.f, configFile, "matchFit",
          "between 0 and 1");
  require(options.matchJumpMargin > 0.f && options.matchJumpMargin <= 1.f, configFile,
          "matchJumpMargin", "above 0 and at most 1");
  require(options.matchUnexplained >= 0.f && options.matchUnexplained <= 1.f, configFile,
          "matchUnexplained", "between 0 and 1");
  require(options.matchChangeDistance >= 0.f && options.matchChangeDistance <= 4.f, configFile,
          "matchChangeDistance", "between 0 and 4");
  require(options.matchWithdraw == 0 || options.matchWithdraw == 1, configFile, "matchWithdraw",
          "0 or 1");
  require(options.matchJoinSame == 0 || options.matchJoinSame == 1, configFile, "matchJoinSame",
          "0 or 1");
  require(options.matchFitDrop >= 0.f && options.matchFitDrop <= 1.f, configFile, "matchFitDrop",
          "between 0 and 1");
  require(options.matchJoinContent == 0 || options.matchJoinContent == 1, configFile,
          "matchJoinContent", "0 or 1");
  require(options.matchJoinRefused == 0 || options.matchJoinRefused == 1, configFile,
          "matchJoinRefused", "0 or 1");
  require(options.matchQuietMargin >= 0.f && options.matchQuietMargin <= 1.f, configFile,
          "matchQuietMargin", "between 0 and 1");
  require(options.matchLeanFrames == 0 ||
              (options.matchLeanFrames >= 2 && options.matchLeanFrames <= 100),
          configFile, "matchLeanFrames", "0, or between 2 and 100");
  require(options.matchDropJump == 0 || options.matchDropJump == 1, configFile, "matchDropJump",
          "0 or 1");
  require(options.matchJoinMargin > 0.f && options.matchJoinMargin <= 1.f, configFile,
          "matchJoinMargin", "above 0 and at most 1");
  require(options.matchDropRepeat == 0 || options.matchDropRepeat == 1, configFile,
          "matchDropRepeat", "0 or 1");
}

MatcherOptions::Method matchMethodFromName(const std::string& name) {
  if (name == "plain") return MatcherOptions::Method::kPlain;
  if (name == "evidence") return MatcherOptions::Method::kEvidence;
  return MatcherOptions::Method::kUnknown;
}

}  // namespace slidetrack
