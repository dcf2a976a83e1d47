#include "input_stream.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

#include "cli_error.h"
#include "output.h"

namespace tvx {
namespace {

constexpr size_t kLargestStream = size_t(1) << 30;  // held in memory whole: 1 GiB
constexpr int kPollMilliseconds = 200;              // how often an interrupt is looked at
constexpr double kFifoWriterWaitSeconds = 5.0;      // for a FIFO nobody has opened yet
constexpr size_t kReadBlock = 1 << 16;

}  // namespace

int OpenFifo(const std::string& path) {
  int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) FailFile(path, SystemMessage(errno));
  return fd;
}

std::string ReadStream(int fd, const std::string& name, bool namedFifo) {
  std::string bytes;
  bool started = false;  // a writer has been seen (its data or its hang-up)
  auto since = std::chrono::steady_clock::now();
  char block[kReadBlock];
  for (;;) {
    CheckInterrupted();
    pollfd wanted{fd, POLLIN, 0};
    int ready = poll(&wanted, 1, kPollMilliseconds);
    if (ready < 0 && errno != EINTR) FailFile(name, SystemMessage(errno));
    if (ready <= 0) {
      // Linux reports no hang-up on a FIFO whose writer has never come.
      std::chrono::duration<double> waited = std::chrono::steady_clock::now() - since;
      if (namedFifo && !started && waited.count() > kFifoWriterWaitSeconds)
        FailFile(name, "nothing was written to this FIFO within 5 s; start the program that writes to it first");
      continue;
    }
    started = true;
    ssize_t got = read(fd, block, sizeof block);
    if (got < 0 && (errno == EAGAIN || errno == EINTR)) continue;
    if (got < 0) FailFile(name, SystemMessage(errno));
    if (got == 0) break;
    if (bytes.size() + size_t(got) > kLargestStream)
      FailFile(name, "the stream is larger than 1 GiB; save it to a file first");
    bytes.append(block, size_t(got));
  }
  return bytes;
}

}  // namespace tvx
