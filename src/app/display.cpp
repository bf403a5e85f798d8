#include "display.h"

#include <cstdlib>

#include <opencv2/highgui.hpp>

bool displayAvailable() {
  const char* x11 = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  return (x11 && *x11) || (wayland && *wayland);
}

Display::Display(bool wanted) : enabled_(wanted && displayAvailable()) {}

Display::~Display() { closeAll(); }

void Display::open(const std::string& window) {
  if (enabled_) cv::namedWindow(window, cv::WINDOW_AUTOSIZE);
}

void Display::show(const std::string& window, const cv::Mat& image) {
  if (enabled_ && !image.empty()) cv::imshow(window, image);
}

int Display::waitKey(int ms) {
  if (!enabled_) return -1;
  const int key = cv::waitKey(ms);
  return key < 0 ? -1 : (key & 0xFF);
}

void Display::close(const std::string& window) {
  if (enabled_) cv::destroyWindow(window);
}

void Display::closeAll() {
  if (enabled_) cv::destroyAllWindows();
}
