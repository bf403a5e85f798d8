#pragma once
// An original whose picture cannot be read has no features to compare; it is left out of
// the library altogether rather than kept as a blank that wins the frame's empty windows.

#include <memory>
#include <vector>

#include "matching/original_library.h"

namespace slidetrack {

struct ReadableOriginals {
  // nullptr only without a library; count 0 when none could be read. unread and
  // unreadCauses keep naming list indices.
  std::unique_ptr<OriginalSlideLibrary> library;
  std::vector<int> listIndex;  // for each original of library, its index in the list
};

ReadableOriginals originalLibraryKeepReadable(std::unique_ptr<OriginalSlideLibrary> library);

}  // namespace slidetrack
