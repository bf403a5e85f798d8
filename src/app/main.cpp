#include <cstdio>
#include <exception>
#include <new>
#include <string>
#include <vector>

#include "app/heap_policy.h"
#include "app/run.h"
#include "app/run_options.h"
#include "common/error.h"

int main(int argc, char** argv) {
  slidetrack::heapKeepLargeBlocks();
  using slidetrack::Error;
  try {
    return slidetrack::slidetrackRun(
        slidetrack::parseRunOptions(std::vector<std::string>(argv, argv + argc)));
  } catch (const Error& e) {
    std::fflush(stdout);
    if (e.mainLine() > 0)
      std::fprintf(stderr, "Error: %s (Main, .\\main:%d)\n", e.what(), e.mainLine());
    else
      std::fprintf(stderr, "Error: %s\n", e.what());
    return e.kind() == Error::Kind::kUsage ? slidetrack::kExitUsage : slidetrack::kExitFailure;
  } catch (const std::bad_alloc&) {
    std::fflush(stdout);
    std::fprintf(stderr, "Error: out of memory.\n");
  } catch (const std::exception& e) {
    // A library's own failure, which no check of ours foresaw.
    std::fflush(stdout);
    std::fprintf(stderr, "Error: %s\n", e.what());
  }
  return slidetrack::kExitFailure;
}
