#include "slides/change_detector_options.h"

#include <utility>

#include "common/error.h"
#include "slides/slide_detector.h"

namespace slidetrack {

namespace {

// Far above any edge map worth comparing; a wrong-kind value reads as 2147483647.
constexpr int kMaxSide = 16384;

std::string problemOf(const ChangeDetectorOptions& o) {
  // The ring's slots are counted in bytes.
  if (o.slideDiffBuff < 1 || o.slideDiffBuff > 255)
    return "slideDiffBuff must be between 1 and 255";
  if (o.slideDetWidth < 1 || o.slideDetHeight < 1 || o.slideDetWidth > kMaxSide ||
      o.slideDetHeight > kMaxSide)
    return "slideDetWidth and slideDetHeight must be between 1 and " + std::to_string(kMaxSide);
  if (o.slideDetMethod != "robust" && o.slideDetMethod != "plain")
    return "slideDetMethod must be \"robust\" or \"plain\", not \"" + o.slideDetMethod + "\"";
  if (o.slideChangeThresh < 1 || o.slideChangeThresh > 255)
    return "slideChangeThresh must be between 1 and 255";
  if (o.slideCellSize < 4 || o.slideCellSize > 256)
    return "slideCellSize must be between 4 and 256";
  if (o.slideChangeCells < 1 || o.slideChangeCells > 10000)
    return "slideChangeCells must be between 1 and 10000";
  if (!(o.slideChangeBeside >= 0 && o.slideChangeBeside <= 1))
    return "slideChangeBeside must be between 0 and 1";
  if (o.slideHoleSettle < 0 || o.slideHoleSettle > 250)
    return "slideHoleSettle must be between 0 and 250";
  // Switches: 0 is the earlier rule, 1 the new one.
  const std::pair<const char*, int> switches[] = {
      {"slideChangePersist", o.slideChangePersist},
      {"slideFillFromOriginal", o.slideFillFromOriginal},
      {"slideChangeUncovered", o.slideChangeUncovered},
      {"slidePictureUncovered", o.slidePictureUncovered},
      {"slideBesideOverMask", o.slideBesideOverMask},
      {"slideSpeakerFromOriginal", o.slideSpeakerFromOriginal},
      {"slidePictureSpeaker", o.slidePictureSpeaker},
      {"slidePictureFaint", o.slidePictureFaint},
      {"slideJoinSame", o.slideJoinSame},
      {"slideJoinLooks", o.slideJoinLooks},
      {"slideConfirmMoving", o.slideConfirmMoving},
      {"slideBesideWide", o.slideBesideWide},
      {"slideTintUpper", o.slideTintUpper},
      {"slideBesideSwallowed", o.slideBesideSwallowed},
      {"slideConfirmFresh", o.slideConfirmFresh},
      {"slideMaskText", o.slideMaskText},
      {"slideStartSettled", o.slideStartSettled},
      {"slidePictureArms", o.slidePictureArms},
      {"slideInkShape", o.slideInkShape},
      {"slideJoinBoth", o.slideJoinBoth},
      {"slideRestartLines", o.slideRestartLines},
      {"slidePictureArmParts", o.slidePictureArmParts},
      {"slideConfirmUnmoved", o.slideConfirmUnmoved},
      {"slidePictureHeldBack", o.slidePictureHeldBack},
      {"slideFrontGone", o.slideFrontGone},
      {"slideJoinText", o.slideJoinText},
      {"slideStartStanding", o.slideStartStanding},
  };
  for (const auto& [name, value] : switches)
    if (value != 0 && value != 1) return std::string(name) + " must be 0 or 1";
  return {};
}

}  // namespace

void checkChangeDetectorOptions(const ChangeDetectorOptions& o, const std::string& configFile) {
  const std::string problem = problemOf(o);
  if (!problem.empty())
    throw Error(Error::Kind::kSettings,
                "Invalid settings in '" + configFile + "': " + problem + ".");
}

std::unique_ptr<SlideChangeDetector> slideDetCreate(const ChangeDetectorOptions& o) {
  return slideDetCreate(nullptr, o.slideDetHeight, o.slideDetWidth, o.slideDiffBuff,
                        o.slideDiffThresh, o.slideDistrThresh);
}

}  // namespace slidetrack
