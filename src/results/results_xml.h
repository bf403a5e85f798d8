#pragma once
// The results XML file: root "data" with "sources" and "slides". Also the format of the
// file of original slides given with "-s".

#include <memory>
#include <string>

#include "results/slide_list.h"

namespace slidetrack {

// Writes the whole list to path, atomically (temporary file beside it, then rename).
// Returns 1 on success, 0 when the file could not be saved (reported on standard error,
// any earlier file left intact), -1 when there is no list or no document.
int slidesSaveToXmlNode(const SlideList* list, const std::string& path);

// Appends the file's records to list (a new list when list is null and the file has a
// "slides" element). A missing, unreadable or malformed file returns list unchanged.
std::unique_ptr<SlideList> slidesLoadFromXml(std::unique_ptr<SlideList> list, const char* path);

}  // namespace slidetrack
