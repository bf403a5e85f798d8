// The only code that touches HighGUI; built as a module of its own and loaded only when
// a run opens windows.

#include <opencv2/highgui.hpp>

#include "app/windows/window_calls.h"

namespace slidetrack {

namespace {

// The library's exceptions do not cross into the caller: a window that fails is only
// not shown.
template <typename F>
void guarded(F f) {
  try {
    f();
  } catch (const cv::Exception&) {
  }
}

void openWindow(const char* window) {
  guarded([&] { cv::namedWindow(window, cv::WINDOW_AUTOSIZE); });
}

void showImage(const char* window, const cv::Mat* image) {
  guarded([&] { cv::imshow(window, *image); });
}

int waitForKey(int ms) {
  int key = -1;
  guarded([&] { key = cv::waitKey(ms); });
  return key;
}

void closeWindow(const char* window) {
  guarded([&] { cv::destroyWindow(window); });
}

void closeAllWindows() {
  guarded([] { cv::destroyAllWindows(); });
}

}  // namespace

extern "C" __attribute__((visibility("default"))) bool slidetrackWindowCalls(WindowCalls* calls) {
  *calls = {openWindow, showImage, waitForKey, closeWindow, closeAllWindows};
  return true;
}

}  // namespace slidetrack
