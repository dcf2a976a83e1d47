#include "pitch/working_files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace talvox {

bool IsFreeWorkingName(const char* path) {
  struct stat info;
  if (::lstat(path, &info) != 0) return errno == ENOENT;
  return S_ISREG(info.st_mode);
}

int OpenWorkingFileForWriting(const char* path) {
  if (!IsFreeWorkingName(path)) return -1;
  // No O_TRUNC before the check of what was opened; O_NONBLOCK so that a
  // pipe slipped in meanwhile does not block the open.
  int fd = ::open(path, O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
  if (fd < 0) return -1;
  struct stat info;
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || ::ftruncate(fd, 0) != 0) {
    ::close(fd);
    return -1;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

int OpenWorkingFileForReading(const char* path) {
  int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return -1;
  struct stat info;
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return -1;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

void RemoveWorkingFile(const char* path) {
  struct stat info;
  if (::lstat(path, &info) == 0 && S_ISREG(info.st_mode)) ::unlink(path);
}

WorkingFolderLock::WorkingFolderLock() {
  fd_ = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd_ < 0) return;
  while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
  }
}

WorkingFolderLock::~WorkingFolderLock() {
  if (fd_ >= 0) ::close(fd_);  // closing releases the lock
}

}  // namespace talvox
