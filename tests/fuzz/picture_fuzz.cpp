// Still pictures: the original slides the user lists, PNG, JPEG or any other format.

#include "common/error.h"
#include "fuzz_file.h"
#include "pictures/picture_read.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& path = fuzzWrite(data, size, ".picture");
  try {
    slidetrack::pictureRead(path);
  } catch (const slidetrack::Error&) {
  }
  return 0;
}
