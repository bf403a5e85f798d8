#include "slides/change_detector_options.h"

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
  if (o.slideChangePersist != 0 && o.slideChangePersist != 1)
    return "slideChangePersist must be 0 or 1";
  if (o.slideFillFromOriginal != 0 && o.slideFillFromOriginal != 1)
    return "slideFillFromOriginal must be 0 or 1";
  if (!(o.slideChangeBeside >= 0 && o.slideChangeBeside <= 1))
    return "slideChangeBeside must be between 0 and 1";
  if (o.slideChangeUncovered != 0 && o.slideChangeUncovered != 1)
    return "slideChangeUncovered must be 0 or 1";
  if (o.slidePictureUncovered != 0 && o.slidePictureUncovered != 1)
    return "slidePictureUncovered must be 0 or 1";
  if (o.slideHoleSettle < 0 || o.slideHoleSettle > 250)
    return "slideHoleSettle must be between 0 and 250";
  if (o.slideBesideOverMask != 0 && o.slideBesideOverMask != 1)
    return "slideBesideOverMask must be 0 or 1";
  if (o.slideSpeakerFromOriginal != 0 && o.slideSpeakerFromOriginal != 1)
    return "slideSpeakerFromOriginal must be 0 or 1";
  if (o.slidePictureSpeaker != 0 && o.slidePictureSpeaker != 1)
    return "slidePictureSpeaker must be 0 or 1";
  if (o.slidePictureFaint != 0 && o.slidePictureFaint != 1)
    return "slidePictureFaint must be 0 or 1";
  if (o.slideJoinSame != 0 && o.slideJoinSame != 1) return "slideJoinSame must be 0 or 1";
  if (o.slideJoinLooks != 0 && o.slideJoinLooks != 1) return "slideJoinLooks must be 0 or 1";
  if (o.slideConfirmMoving != 0 && o.slideConfirmMoving != 1)
    return "slideConfirmMoving must be 0 or 1";
  if (o.slideBesideWide != 0 && o.slideBesideWide != 1) return "slideBesideWide must be 0 or 1";
  if (o.slideTintUpper != 0 && o.slideTintUpper != 1) return "slideTintUpper must be 0 or 1";
  if (o.slideBesideSwallowed != 0 && o.slideBesideSwallowed != 1)
    return "slideBesideSwallowed must be 0 or 1";
  if (o.slideConfirmFresh != 0 && o.slideConfirmFresh != 1)
    return "slideConfirmFresh must be 0 or 1";
  if (o.slideMaskText != 0 && o.slideMaskText != 1) return "slideMaskText must be 0 or 1";
  if (o.slideStartSettled != 0 && o.slideStartSettled != 1)
    return "slideStartSettled must be 0 or 1";
  if (o.slidePictureArms != 0 && o.slidePictureArms != 1) return "slidePictureArms must be 0 or 1";
  if (o.slideInkShape != 0 && o.slideInkShape != 1) return "slideInkShape must be 0 or 1";
  if (o.slideJoinBoth != 0 && o.slideJoinBoth != 1) return "slideJoinBoth must be 0 or 1";
  if (o.slideRestartLines != 0 && o.slideRestartLines != 1)
    return "slideRestartLines must be 0 or 1";
  if (o.slidePictureArmParts != 0 && o.slidePictureArmParts != 1)
    return "slidePictureArmParts must be 0 or 1";
  if (o.slideConfirmUnmoved != 0 && o.slideConfirmUnmoved != 1)
    return "slideConfirmUnmoved must be 0 or 1";
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
