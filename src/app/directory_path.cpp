#include "app/directory_path.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace slidetrack {

namespace {

bool isSeparator(char c) { return c == '/' || c == '\\'; }

// Components between separators; empty ones (doubled or trailing separators) dropped.
std::vector<std::string> splitComponents(const std::string& path, std::size_t begin) {
  std::vector<std::string> components;
  std::string current;
  for (std::size_t i = begin; i < path.size(); ++i) {
    if (!isSeparator(path[i])) {
      current += path[i];
    } else if (!current.empty()) {
      components.push_back(current);
      current.clear();
    }
  }
  if (!current.empty()) components.push_back(current);
  return components;
}

// Like changing into the directory: it must be a directory we may search.
int enterDirectory(int parent, const std::string& name) {
  int fd = openat(parent, name.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0 && faccessat(fd, ".", X_OK, AT_EACCESS) != 0) {
    const int cause = errno;
    close(fd);
    errno = cause;
    return -1;
  }
  return fd;
}

}  // namespace

// The walk goes by directory descriptors instead of changing the working directory, so
// the working directory is never touched and no path length limit applies.
int directoryPathCreate(const std::string& givenPath) {
  const std::string path = givenPath.substr(0, givenPath.find('\0'));
  if (path.empty()) return 0;

  const bool rooted = isSeparator(path[0]);
  int current = rooted ? enterDirectory(AT_FDCWD, "/") : AT_FDCWD;
  if (current < 0 && current != AT_FDCWD) return 0;

  int result = 1;
  for (const std::string& component : splitComponents(path, rooted ? 1 : 0)) {
    int next = enterDirectory(current, component);
    // Only a missing one is made: for a file in the way, errno keeps saying so.
    if (next < 0 && errno == ENOENT) {
      if (mkdirat(current, component.c_str(), 0777) == 0) next = enterDirectory(current, component);
    }
    if (current != AT_FDCWD) close(current);
    current = next;
    if (current < 0) {
      result = 0;
      break;
    }
  }
  const int cause = errno;
  if (current >= 0 && current != AT_FDCWD) close(current);
  errno = cause;
  return result;
}

}  // namespace slidetrack
