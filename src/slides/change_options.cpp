#include "slides/change_options.h"

#include "common/error.h"

namespace slidetrack {

namespace {

void require(bool ok, const std::string& problem) {
  if (!ok) throw Error(Error::Kind::kSettings, problem);
}

}  // namespace

void ChangeOptions::check() const {
  require(method == "robust" || method == "plain",
          "slideDetMethod must be \"robust\" or \"plain\", not \"" + method + "\"");
  require(diffThresh >= 1 && diffThresh <= 255, "slideChangeThresh must be between 1 and 255");
  require(cellSize >= 4 && cellSize <= 256, "slideCellSize must be between 4 and 256");
  require(minCells >= 1 && minCells <= 10000, "slideChangeCells must be between 1 and 10000");
  require(persist == 0 || persist == 1, "slideChangePersist must be 0 or 1");
}

}  // namespace slidetrack
