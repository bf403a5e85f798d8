#include "matching/readable_originals.h"

#include <algorithm>

namespace slidetrack {

ReadableOriginals originalLibraryKeepReadable(std::unique_ptr<OriginalSlideLibrary> library) {
  ReadableOriginals result;
  if (!library) return result;
  for (int k = 0; k < library->count; ++k) {
    if (std::find(library->unread.begin(), library->unread.end(), k) == library->unread.end())
      result.listIndex.push_back(k);
  }
  if (static_cast<int>(result.listIndex.size()) == library->count) {
    result.library = std::move(library);
    return result;
  }
  auto kept = std::make_unique<OriginalSlideLibrary>();
  kept->count = static_cast<int>(result.listIndex.size());
  kept->featureCount = library->featureCount;
  kept->binCount = library->binCount;
  kept->unread = library->unread;
  kept->unreadCauses = library->unreadCauses;
  const int windows = library->featureCount;
  const bool withStrengths = library->strengths.rows == library->count;
  for (int k : result.listIndex) {
    kept->features.push_back(library->features.rowRange(k * windows, (k + 1) * windows));
    if (withStrengths) kept->strengths.push_back(library->strengths.row(k));
  }
  originalLibraryArrangeByWindow(*kept);
  result.library = std::move(kept);
  return result;
}

}  // namespace slidetrack
