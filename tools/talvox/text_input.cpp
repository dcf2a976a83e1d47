#include "text_input.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "cleanup.h"
#include "cli_error.h"

namespace tvx {
namespace {

std::string Megabytes(size_t bytes) { return std::to_string(bytes >> 20) + " MiB"; }

int OpenForReading(const std::string& path) {
  if (path == "-") return dup(0);
  // O_NONBLOCK: opening a pipe waits for no writer; reads block again below.
  int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) FailFile(path, SystemMessage(errno));
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

std::string ReadLimited(const std::string& path, int fd, size_t limit) {
  struct stat info;
  if (fstat(fd, &info) == 0) {
    if (S_ISDIR(info.st_mode)) FailFile(path, "is a folder, not a text file");
    if (S_ISREG(info.st_mode) && static_cast<size_t>(info.st_size) > limit)
      FailFile(path, "larger than " + Megabytes(limit) + "; not a text input of this kind");
  }
  std::string text;
  char block[65536];
  for (;;) {
    ssize_t got = read(fd, block, sizeof block);
    if (got < 0 && errno == EINTR) {
      CheckInterrupted();
      continue;
    }
    if (got < 0) FailFile(path, SystemMessage(errno));
    if (got == 0) break;
    text.append(block, static_cast<size_t>(got));
    if (text.size() > limit) FailFile(path, "more than " + Megabytes(limit) + "; not a text input of this kind");
  }
  return text;
}

}  // namespace

std::string ReadTextBytes(const std::string& path, size_t limit) {
  int fd = OpenForReading(path);
  std::string text;
  try {
    text = ReadLimited(path, fd, limit);
  } catch (...) {
    close(fd);
    throw;
  }
  close(fd);
  return text;
}

std::vector<std::string> SplitTextLines(const std::string& path, const std::string& text, size_t lineLimit) {
  if (text.find('\0') != std::string::npos) FailFile(path, "holds zero bytes; not a text file");
  std::vector<std::string> lines;
  size_t begin = 0;
  while (begin < text.size()) {
    size_t end = text.find('\n', begin);
    if (end == std::string::npos) end = text.size();
    if (end - begin > lineLimit)
      FailFile(path, "line " + std::to_string(lines.size() + 1) + " is longer than " +
                         std::to_string(lineLimit) + " bytes");
    lines.push_back(text.substr(begin, end - begin));
    begin = end + 1;
  }
  return lines;
}

std::vector<std::string> ReadTextLines(const std::string& path, size_t limit, size_t lineLimit) {
  return SplitTextLines(path, ReadTextBytes(path, limit), lineLimit);
}

}  // namespace tvx
