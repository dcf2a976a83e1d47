#include "platform/input_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace talvox {

InputFile::InputFile(const char* path) {
  if (path == nullptr) return;
  // Non-blocking so that a named pipe is refused instead of waited on; it
  // changes nothing for regular files.
  fd_ = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd_ < 0) return;
  struct stat info;
  // Only regular files have a size to trust (a folder opens too).
  if (::fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd_);
    fd_ = -1;
    return;
  }
  size_ = static_cast<int64_t>(info.st_size);
}

InputFile::~InputFile() {
  if (fd_ >= 0) ::close(fd_);
}

bool InputFile::ReadAt(int64_t offset, void* into, std::size_t bytes) const {
  if (fd_ < 0 || offset < 0) return false;
  char* to = static_cast<char*>(into);
  while (bytes > 0) {
    ssize_t got = ::pread(fd_, to, bytes, static_cast<off_t>(offset));
    if (got < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (got == 0) return false;
    to += got;
    offset += got;
    bytes -= static_cast<std::size_t>(got);
  }
  return true;
}

bool ReadWholeFile(const char* path, int64_t maxBytes, std::vector<uint8_t>& bytes) {
  InputFile file(path);
  if (!file.ok() || file.size() > maxBytes) return false;
  bytes.resize(static_cast<std::size_t>(file.size()));
  return bytes.empty() || file.ReadAt(0, bytes.data(), bytes.size());
}

}  // namespace talvox
