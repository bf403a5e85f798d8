#pragma once
// The run's windows. All window code lives here: HighGUI aborts the process when it
// finds no display, so nothing is created unless one is there. HighGUI itself is a
// module loaded with the first window (its libraries slow every run's start-up).

#include <string>

#include <opencv2/core.hpp>

namespace slidetrack {

constexpr int kKeyEsc = 27;
constexpr int kKeySpace = 32;

// True when a window system answers (X11 or Wayland), not merely named.
bool displayAvailable();

class Display {
 public:
  // Windows only when asked for and a display is available.
  explicit Display(bool wanted);
  ~Display();
  bool enabled() const { return enabled_; }
  void open(const std::string& window);
  void show(const std::string& window, const cv::Mat& image);
  // The key pressed within ms milliseconds (0: wait for ever), or -1. Headless: -1 at once.
  int waitKey(int ms);
  void close(const std::string& window);
  void closeAll();

 private:
  bool enabled_;
};

}  // namespace slidetrack
