// The results format, also the file of original slides the user hands in with -s.

#include "fuzz_file.h"
#include "results/results_xml.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& path = fuzzWrite(data, size, ".xml");
  std::unique_ptr<slidetrack::SlideList> list =
      slidetrack::slidesLoadFromXml(nullptr, path.c_str());
  // What was read must be written back well-formed and read again.
  if (list) {
    const std::string out = fuzzFile(".out.xml");
    slidetrack::slidesSaveToXml(*list, out);
    if (!slidetrack::slidesLoadFromXml(nullptr, out.c_str())) __builtin_trap();
  }
  return 0;
}
