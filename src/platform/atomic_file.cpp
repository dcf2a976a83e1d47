#include "platform/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace talvox {

namespace {
// Small writes are gathered into blocks this large; larger ones go straight
// to the file.
constexpr std::size_t kBlockBytes = 1 << 20;
// Attempts at a free temporary name before giving up.
constexpr int kNameAttempts = 100;

// The temporary file is hidden beside its target and carries the writer's
// process id, so a later run can tell a dead writer's leftover from a live
// one's work: ".NAME.talvox-tmp-PID-N".
std::string HiddenSibling(const std::string& path) {
  std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return "." + path;
  return path.substr(0, slash + 1) + "." + path.substr(slash + 1);
}

// Links followed at most, as the system follows them.
constexpr int kMostLinks = 40;

// Where a symbolic link that names no file yet points (a link to a link is
// followed on); the path itself when it is no link. A new file made through
// a link is made at the link's target, so the link stays.
std::string FollowDanglingLinks(std::string path) {
  for (int hop = 0; hop < kMostLinks; ++hop) {
    struct stat link;
    if (::lstat(path.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) return path;
    std::string target(static_cast<std::size_t>(link.st_size > 0 ? link.st_size : 4096) + 1, '\0');
    ssize_t length = ::readlink(path.c_str(), &target[0], target.size());
    if (length <= 0 || static_cast<std::size_t>(length) >= target.size()) return path;
    target.resize(static_cast<std::size_t>(length));
    std::size_t slash = path.rfind('/');
    if (target[0] != '/' && slash != std::string::npos) target = path.substr(0, slash + 1) + target;
    path = target;
  }
  return path;
}

bool WriteAll(int fd, const char* data, std::size_t bytes) {
  while (bytes > 0) {
    ssize_t done = ::write(fd, data, bytes < kBlockBytes ? bytes : kBlockBytes);
    if (done < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (done == 0) return false;
    data += done;
    bytes -= static_cast<std::size_t>(done);
  }
  return true;
}
// Puts temp in path's place. An existing regular file is swapped out and
// then removed: a plain rename over it makes ext4 allocate and flush the new
// file's blocks inside the rename, which doubles the time of a large save.
bool ReplaceWith(const std::string& temp, const std::string& path) {
  struct stat target;
  if (::lstat(path.c_str(), &target) == 0 && S_ISREG(target.st_mode) &&
      ::renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, path.c_str(), RENAME_EXCHANGE) == 0) {
    ::unlink(temp.c_str());
    return true;
  }
  return ::rename(temp.c_str(), path.c_str()) == 0;
}
}  // namespace

AtomicFile::AtomicFile(const char* path) {
  if (path == nullptr || *path == '\0') return;
  path_ = path;
  struct stat existing;
  const bool replacing = ::stat(path, &existing) == 0;
  if (replacing) {
    if (S_ISDIR(existing.st_mode)) return;
    if (!S_ISREG(existing.st_mode)) {
      OpenInPlace();
      return;
    }
    // Through a symbolic link the file it names is replaced, not the link.
    char* resolved = ::realpath(path, nullptr);
    if (resolved == nullptr) return;
    path_ = resolved;
    std::free(resolved);
  } else {
    path_ = FollowDanglingLinks(path_);
  }
  OpenTemporary();
  // A replaced file keeps its permissions, and its owner and group where the
  // process may give them (root, or a group it belongs to).
  if (fd_ >= 0 && replacing) {
    if (::fchown(fd_, existing.st_uid, existing.st_gid) != 0 &&
        ::fchown(fd_, static_cast<uid_t>(-1), existing.st_gid) != 0) {
      // Stays the writer's: the best the process can do.
    }
    if (::fchmod(fd_, existing.st_mode & 07777) != 0) Fail();
  }
}

void AtomicFile::OpenInPlace() {
  // A device or pipe (such as /dev/null) is written as it is; it cannot be
  // replaced, and a pipe without a reader is refused rather than waited on.
  fd_ = ::open(path_.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC | O_NONBLOCK);
  if (fd_ >= 0) ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
}

void AtomicFile::OpenTemporary() {
  static unsigned counter = 0;
  for (int attempt = 0; attempt < kNameAttempts && fd_ < 0; ++attempt) {
    char suffix[64];
    std::snprintf(suffix, sizeof suffix, "%s%ld-%u", kTempMarker, static_cast<long>(::getpid()),
                  counter++);
    temp_ = HiddenSibling(path_) + suffix;
    // 0666 like any newly created file: the process's umask applies.
    fd_ = ::open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd_ < 0 && errno != EEXIST) break;
  }
  if (fd_ < 0) temp_.clear();
}

AtomicFile::~AtomicFile() {
  if (fd_ >= 0) Fail();
}

void AtomicFile::Fail() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!temp_.empty()) ::unlink(temp_.c_str());
  temp_.clear();
}

void AtomicFile::Flush() {
  if (fd_ < 0 || used_ == 0) return;
  if (!WriteAll(fd_, buffer_.data(), used_)) Fail();
  used_ = 0;
}

void AtomicFile::Write(const void* data, std::size_t bytes) {
  if (fd_ < 0 || bytes == 0) return;
  const char* from = static_cast<const char*>(data);
  if (used_ + bytes <= kBlockBytes) {
    if (buffer_.empty()) buffer_.resize(kBlockBytes);
    std::memcpy(buffer_.data() + used_, from, bytes);
    used_ += bytes;
    return;
  }
  Flush();
  if (fd_ >= 0 && !WriteAll(fd_, from, bytes)) Fail();
}

void AtomicFile::WriteZeros(std::size_t bytes) {
  static const char kZeros[4096] = {};
  while (bytes > 0 && fd_ >= 0) {
    std::size_t part = bytes < sizeof kZeros ? bytes : sizeof kZeros;
    Write(kZeros, part);
    bytes -= part;
  }
}

bool AtomicFile::Commit() {
  Flush();
  if (fd_ < 0) return false;
  // The data reaches the disk before the name does, so a crash never leaves
  // the target empty.
  const bool synced = temp_.empty() || ::fdatasync(fd_) == 0;
  int closed = ::close(fd_);
  fd_ = -1;
  if (temp_.empty()) return closed == 0;  // written in place
  closed = synced ? closed : -1;
  if (closed != 0 || !ReplaceWith(temp_, path_)) {
    ::unlink(temp_.c_str());
    temp_.clear();
    return false;
  }
  temp_.clear();
  return true;
}

}  // namespace talvox
