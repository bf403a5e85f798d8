#include <string>
#include <vector>

#include "run.h"
#include "run_options.h"

int main(int argc, char** argv) {
  return runMain(parseRunOptions(std::vector<std::string>(argv, argv + argc)));
}
