#include "results/atomic_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <random>
#include <set>

#include "common/error.h"

namespace slidetrack {

namespace {

// A link into /proc (/dev/stdout, /dev/fd/N) names an open stream of this process: the
// file behind it is the shell's, written through, never replaced. procFd is then N when
// the link names one of this process's descriptors, else -1.
bool linksIntoProc(const std::string& path, int* procFd = nullptr) {
  std::string current = path;
  for (int hop = 0; hop < 40; ++hop) {
    if (current.compare(0, 6, "/proc/") == 0) {
      const std::string self = "/proc/self/fd/", own = "/proc/" + std::to_string(getpid()) + "/fd/";
      if (procFd) {
        *procFd = -1;
        for (const std::string& prefix : {self, own})
          if (current.compare(0, prefix.size(), prefix) == 0)
            *procFd = std::atoi(current.c_str() + prefix.size());
      }
      return true;
    }
    char target[PATH_MAX];
    const ssize_t n = readlink(current.c_str(), target, sizeof target - 1);
    if (n <= 0) return false;
    target[n] = '\0';
    std::string next(target);
    if (next[0] != '/') {
      const std::string::size_type slash = current.rfind('/');
      next = (slash == std::string::npos ? std::string() : current.substr(0, slash + 1)) + next;
    }
    current = next;
  }
  return false;
}

// A symbolic link is kept as it is: the file it points to is the one replaced.
std::string resolvedTarget(const std::string& path) {
  struct stat info;
  if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
  char* real = realpath(path.c_str(), nullptr);
  if (!real) return path;  // a dangling link is replaced by the file itself
  std::string target(real);
  std::free(real);
  return target;
}

// Opened exclusively with the default mode, so the umask applies as for any new file.
int createTemporary(const std::string& target, std::string& tempPath) {
  static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  static std::minstd_rand random(std::random_device{}() ^ static_cast<unsigned>(getpid()));
  for (int attempt = 0; attempt < 100; ++attempt) {
    tempPath = target + ".tmp";
    for (int i = 0; i < 6; ++i) tempPath += kLetters[random() % (sizeof(kLetters) - 1)];
    int fd = open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  errno = EEXIST;
  return -1;
}

// A run killed while writing leaves "NAME.tmpXXXXXX" beside NAME; the first write of NAME in
// a process removes them, so that they do not pile up over runs.
void removeStaleTemporaries(const std::string& target) {
  static std::mutex mutex;
  static std::set<std::string> cleaned;
  {
    std::lock_guard<std::mutex> lock(mutex);
    if (!cleaned.insert(target).second) return;
  }
  const std::string::size_type slash = target.rfind('/');
  const std::string directory = slash == std::string::npos ? "." : target.substr(0, slash + 1);
  const std::string prefix =
      (slash == std::string::npos ? target : target.substr(slash + 1)) + ".tmp";
  DIR* dir = opendir(directory.c_str());
  if (!dir) return;
  while (const dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name.size() != prefix.size() + 6 || name.compare(0, prefix.size(), prefix) != 0) continue;
    struct stat info;
    const std::string path = directory + (slash == std::string::npos ? "/" : "") + name;
    if (lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) unlink(path.c_str());
  }
  closedir(dir);
}

[[noreturn]] void fail(const std::string& what, const std::string& path, const std::string& cause) {
  throw Error(Error::Kind::kOutput, "Cannot save " + what + " '" + path + "': " + cause + ".");
}

std::string directoryOf(const std::string& path) {
  std::string::size_type slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// Makes the rename itself durable; a failure here does not undo the replacement.
void syncDirectory(const std::string& path) {
  int fd = open(directoryOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}

}  // namespace

bool isStreamTarget(const std::string& path) {
  if (linksIntoProc(path)) return true;
  struct stat info;
  return stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode);
}

void writeFileDirectly(const std::string& path, const std::string& what,
                       const std::function<bool(int fd)>& write) {
  // What the program printed so far comes first in a shared stream.
  std::fflush(nullptr);
  int procFd = -1;
  int fd = -1;
  if (linksIntoProc(path, &procFd) && procFd >= 0) {
    // The descriptor itself, so that its offset is shared with what the program prints.
    fd = fcntl(procFd, F_DUPFD_CLOEXEC, 0);
  } else {
    // Appending keeps what a redirection already holds; a device or pipe ignores it. A
    // pipe that nobody reads fails here instead of blocking the run for good.
    fd = open(path.c_str(), O_WRONLY | O_APPEND | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (fd >= 0) fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  }
  if (fd < 0) fail(what, path, errno == ENXIO ? "nothing reads from it" : std::strerror(errno));
  errno = 0;
  bool ok = write(fd);
  const int cause = errno;
  ok = close(fd) == 0 && ok;
  if (!ok) fail(what, path, cause ? std::strerror(cause) : "the content could not be written");
}

void checkFileWritable(const std::string& path, const std::string& what) {
  if (path.empty()) fail(what, path, "no file name");
  if (isStreamTarget(path)) {
    if (access(path.c_str(), W_OK) != 0) fail(what, path, std::strerror(errno));
    return;
  }
  const std::string target = resolvedTarget(path);
  struct stat info;
  if (stat(target.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
    fail(what, path, "it is a directory");
  // The very file the replacement would make, so every cause shows now.
  std::string tempPath;
  int fd = createTemporary(target, tempPath);
  if (fd < 0) fail(what, path, std::strerror(errno));
  close(fd);
  unlink(tempPath.c_str());
}

void replaceFileAtomically(const std::string& path, const std::string& what,
                           const std::function<bool(int fd)>& write) {
  if (path.empty()) fail(what, path, "no file name");
  // A device, pipe or socket under that name is the user's: written to, never replaced.
  if (isStreamTarget(path)) return writeFileDirectly(path, what, write);
  const std::string target = resolvedTarget(path);
  struct stat previous;
  const bool exists = stat(target.c_str(), &previous) == 0;
  if (exists && !S_ISREG(previous.st_mode)) fail(what, path, "it is not a regular file");
  removeStaleTemporaries(target);
  std::string tempPath;
  int fd = createTemporary(target, tempPath);
  if (fd < 0) fail(what, path, std::strerror(errno));
  if (exists) fchmod(fd, previous.st_mode & 07777);

  errno = 0;
  bool ok = write(fd);
  ok = fsync(fd) == 0 && ok;
  ok = close(fd) == 0 && ok;
  ok = ok && rename(tempPath.c_str(), target.c_str()) == 0;
  if (!ok) {
    const int cause = errno;
    unlink(tempPath.c_str());
    fail(what, path, cause ? std::strerror(cause) : "the content could not be written");
  }
  syncDirectory(target);
}

bool writeAll(int fd, const void* data, size_t size) {
  const char* bytes = static_cast<const char*>(data);
  size_t done = 0;
  while (done < size) {
    const ssize_t n = ::write(fd, bytes + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

void replaceFileWithText(const std::string& path, const std::string& what,
                         const std::string& text) {
  replaceFileAtomically(path, what,
                        [&text](int fd) { return writeAll(fd, text.data(), text.size()); });
}

}  // namespace slidetrack
