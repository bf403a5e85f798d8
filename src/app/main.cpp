#include <malloc.h>

#include <string>
#include <vector>

#include "app/run.h"
#include "app/run_options.h"

int main(int argc, char** argv) {
  // The decoder and the image library free and remake large buffers for every frame;
  // keeping them in the heap spares mapping and faulting them in again each time.
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  mallopt(M_TRIM_THRESHOLD, 256 << 20);
  return slidetrack::runMain(
      slidetrack::parseRunOptions(std::vector<std::string>(argv, argv + argc)));
}
