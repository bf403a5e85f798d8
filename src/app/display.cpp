#include "app/display.h"

#include <netdb.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

#include "app/runtime_module.h"
#include "app/windows/window_calls.h"

namespace slidetrack {

namespace {

bool connectUnix(const std::string& path, bool abstract) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const size_t offset = abstract ? 1 : 0;
  if (path.size() + offset >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path + offset, path.data(), path.size());
  const socklen_t length = static_cast<socklen_t>(sizeof(sa_family_t) + offset + path.size());
  const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  if (fd < 0) return false;
  const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&address), length) == 0;
  close(fd);
  return ok;
}

bool connectTcp(const std::string& host, int port) {
  addrinfo hints{};
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0) return false;
  bool ok = false;
  for (addrinfo* a = found; a && !ok; a = a->ai_next) {
    const int fd = socket(a->ai_family, a->ai_socktype, a->ai_protocol);
    if (fd < 0) continue;
    ok = connect(fd, a->ai_addr, a->ai_addrlen) == 0;
    close(fd);
  }
  freeaddrinfo(found);
  return ok;
}

// DISPLAY is [host]:number[.screen]; a local server listens on its X11 socket.
bool x11Reachable(const std::string& display) {
  const size_t colon = display.rfind(':');
  if (colon == std::string::npos) return false;
  const std::string host = display.substr(0, colon);
  const int number = std::atoi(display.c_str() + colon + 1);
  if (host.empty() || host == "unix") {
    const std::string socketPath = "/tmp/.X11-unix/X" + std::to_string(number);
    return connectUnix(socketPath, true) || connectUnix(socketPath, false);
  }
  if (!host.empty() && host[0] == '/') return connectUnix(display.substr(0, colon), false);
  return connectTcp(host, 6000 + number);
}

bool waylandReachable(const std::string& name) {
  if (!name.empty() && name[0] == '/') return connectUnix(name, false);
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  return runtime && connectUnix(std::string(runtime) + "/" + name, false);
}

}  // namespace

bool displayAvailable() {
  // A display variable alone is not enough: HighGUI aborts when the server is gone.
  const char* x11 = std::getenv("DISPLAY");
  if (x11 && *x11 && x11Reachable(x11)) return true;
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  return wayland && *wayland && waylandReachable(wayland);
}

// The windows module once per process; nullptr when it cannot be loaded.
const WindowCalls* windowCalls() {
  static std::once_flag once;
  static WindowCalls calls{};
  static bool loaded = false;
  std::call_once(once, [] {
    void* module = runtimeModuleLoad(SLIDETRACK_WINDOWS_NAME, "windows");
    auto get =
        reinterpret_cast<WindowCallsGet>(runtimeModuleSymbol(module, SLIDETRACK_WINDOW_CALLS));
    if (module && !get) std::fprintf(stderr, "Error: the windows module lacks its entry point\n");
    loaded = get && get(&calls);
  });
  return loaded ? &calls : nullptr;
}

// Without the module the run goes on headless, after the loader's error line.
Display::Display(bool wanted)
    : enabled_(wanted && displayAvailable() && windowCalls() != nullptr) {}

Display::~Display() { closeAll(); }

void Display::open(const std::string& window) {
  if (enabled_) windowCalls()->open(window.c_str());
}

void Display::show(const std::string& window, const cv::Mat& image) {
  if (enabled_ && !image.empty()) windowCalls()->show(window.c_str(), &image);
}

int Display::waitKey(int ms) {
  if (!enabled_) return -1;
  const int key = windowCalls()->waitKey(ms);
  return key < 0 ? -1 : (key & 0xFF);
}

void Display::close(const std::string& window) {
  if (enabled_) windowCalls()->close(window.c_str());
}

void Display::closeAll() {
  if (enabled_) windowCalls()->closeAll();
}

}  // namespace slidetrack
