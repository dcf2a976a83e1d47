#include "safe_write.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace tvx {
namespace {

constexpr int kLinkDepth = 40;  // as the kernel's own limit on link chains

std::string FolderOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string BaseOf(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool WriteInPlace(const std::string& path, const std::string& bytes) {
  // O_NONBLOCK: a pipe nobody reads is refused rather than waited on.
  int fd = open(path.c_str(), O_WRONLY | O_TRUNC | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  bool written = WriteToDescriptor(fd, bytes.data(), bytes.size());
  int error = errno;
  bool closed = close(fd) == 0;
  if (!written) errno = error;
  return written && closed;
}

int CreateTemporary(const std::string& real, std::string& temp) {
  static unsigned counter = 0;
  const std::string stem = FolderOf(real) + "/." + BaseOf(real) + ".talvox-tmp-" + std::to_string(getpid()) + "-";
  for (int attempt = 0; attempt < 100; attempt++) {
    temp = stem + std::to_string(counter++);
    int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

}  // namespace

std::string ResolveLinks(const std::string& path) {
  std::string current = path;
  for (int depth = 0; depth < kLinkDepth; depth++) {
    struct stat info;
    if (lstat(current.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return current;
    std::vector<char> target(PATH_MAX + 1);
    ssize_t size = readlink(current.c_str(), target.data(), PATH_MAX);
    if (size <= 0) return current;
    std::string next(target.data(), static_cast<size_t>(size));
    current = next[0] == '/' ? next : FolderOf(current) + "/" + next;
  }
  return current;
}

bool WriteToDescriptor(int fd, const char* data, size_t bytes) {
  while (bytes > 0) {
    ssize_t done = write(fd, data, bytes);
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) return false;
    data += done;
    bytes -= static_cast<size_t>(done);
  }
  return true;
}

bool WriteReplacing(const std::string& path, const std::string& bytes) {
  struct stat existing;
  const bool replacing = stat(path.c_str(), &existing) == 0;
  if (replacing && S_ISDIR(existing.st_mode)) {
    errno = EISDIR;
    return false;
  }
  if (replacing && !S_ISREG(existing.st_mode)) return WriteInPlace(path, bytes);
  const std::string real = ResolveLinks(path);
  std::string temp;
  int fd = CreateTemporary(real, temp);
  if (fd < 0) return false;
  bool ok = true;
  if (replacing) {
    // Owner and group where allowed; the mode always.
    if (fchown(fd, existing.st_uid, existing.st_gid) != 0 && fchown(fd, static_cast<uid_t>(-1), existing.st_gid) != 0) {
    }
    ok = fchmod(fd, existing.st_mode & 07777) == 0;
  }
  ok = ok && WriteToDescriptor(fd, bytes.data(), bytes.size()) && fdatasync(fd) == 0;
  int error = errno;
  ok = close(fd) == 0 && ok;
  ok = ok && rename(temp.c_str(), real.c_str()) == 0;
  if (!ok) {
    if (errno == 0) errno = error;
    error = errno;
    unlink(temp.c_str());
    errno = error;
  }
  return ok;
}

}  // namespace tvx
