#include "results/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <random>

#include "common/error.h"

namespace slidetrack {

namespace {

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

void replaceFileAtomically(const std::string& path, const std::string& what,
                           const std::function<bool(int fd)>& write) {
  if (path.empty()) fail(what, path, "no file name");
  const std::string target = resolvedTarget(path);
  struct stat previous;
  const bool exists = stat(target.c_str(), &previous) == 0;
  // A device, pipe or directory under that name is the user's, not a file to replace.
  if (exists && !S_ISREG(previous.st_mode)) fail(what, path, "it is not a regular file");
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

void replaceFileWithText(const std::string& path, const std::string& what,
                         const std::string& text) {
  replaceFileAtomically(path, what, [&text](int fd) {
    size_t done = 0;
    while (done < text.size()) {
      const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      done += static_cast<size_t>(n);
    }
    return true;
  });
}

}  // namespace slidetrack
