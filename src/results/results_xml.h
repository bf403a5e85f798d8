#pragma once
// The results XML file: root "data" with "sources" and "slides". Also the format of the
// file of original slides given with "-s".

#include <memory>
#include <string>

#include "results/slide_list.h"

namespace slidetrack {

// Writes the whole list to path, atomically (temporary file beside it, then rename). An
// Error names the file and the cause when it cannot be saved; any earlier file is then
// left intact.
void slidesSaveToXml(const SlideList& list, const std::string& path);

// Appends the file's records to list (a new list when list is null and the file has a
// "slides" element). A missing, unreadable or malformed file returns list unchanged.
std::unique_ptr<SlideList> slidesLoadFromXml(std::unique_ptr<SlideList> list, const char* path);

}  // namespace slidetrack
