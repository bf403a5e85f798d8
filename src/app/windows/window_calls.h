#pragma once
// The entry points of the windows module, looked up by name once it is loaded.

#include <opencv2/core.hpp>

namespace slidetrack {

extern "C" {
struct WindowCalls {
  void (*open)(const char* window);
  void (*show)(const char* window, const cv::Mat* image);
  int (*waitKey)(int ms);  // the library's key code, or -1
  void (*close)(const char* window);
  void (*closeAll)();
};
// Fills calls; false when the module cannot serve them.
using WindowCallsGet = bool (*)(WindowCalls* calls);
}

#define SLIDETRACK_WINDOW_CALLS "slidetrackWindowCalls"

}  // namespace slidetrack
