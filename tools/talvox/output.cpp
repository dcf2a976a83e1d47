#include "output.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "cli_error.h"

namespace tvx {
namespace {

// Temporary names still to be removed; a fixed table because the interrupt
// handler may only touch async-signal-safe state.
constexpr int kMaxPending = 16;
constexpr size_t kMaxPath = 4096;
char g_pending[kMaxPending][kMaxPath];
volatile sig_atomic_t g_pendingUsed[kMaxPending];

void Register(const std::string& path) {
  if (path.size() >= kMaxPath) return;
  for (int i = 0; i < kMaxPending; i++) {
    if (!g_pendingUsed[i]) {
      std::memcpy(g_pending[i], path.c_str(), path.size() + 1);
      g_pendingUsed[i] = 1;
      return;
    }
  }
}

void Unregister(const std::string& path) {
  for (int i = 0; i < kMaxPending; i++)
    if (g_pendingUsed[i] && path == g_pending[i]) g_pendingUsed[i] = 0;
}

void OnInterrupt(int signalNumber) {
  for (int i = 0; i < kMaxPending; i++)
    if (g_pendingUsed[i]) unlink(g_pending[i]);
  signal(signalNumber, SIG_DFL);
  raise(signalNumber);
}

std::string FolderOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string BaseOf(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

OutputFile::OutputFile(std::string target) : target_(std::move(target)) {
  if (target_.empty() || target_.back() == '/') FailFile(target_, "not a file name");
  std::string pattern = FolderOf(target_) + "/." + BaseOf(target_) + ".tmp-XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  int fd = mkstemp(name.data());
  if (fd < 0)
    FailFile(target_, std::string("cannot write in folder ") + FolderOf(target_) + ": " + SystemMessage(errno));
  close(fd);
  temp_ = name.data();
  Register(temp_);
}

OutputFile::~OutputFile() {
  if (!committed_) {
    unlink(temp_.c_str());
    Unregister(temp_);
  }
}

void OutputFile::Commit() {
  // mkstemp makes the file private; give the result the usual permissions.
  mode_t mask = umask(0);
  umask(mask);
  chmod(temp_.c_str(), 0666 & ~mask);
  if (rename(temp_.c_str(), target_.c_str()) != 0)
    FailFile(target_, std::string("cannot be written: ") + SystemMessage(errno));
  committed_ = true;
  Unregister(temp_);
}

void InstallInterruptCleanup() {
  for (int signalNumber : {SIGINT, SIGTERM, SIGHUP}) signal(signalNumber, OnInterrupt);
}

void WriteTextFile(const std::string& path, const std::string& text) {
  OutputFile output(path);
  FILE* file = std::fopen(output.temp().c_str(), "wb");
  if (!file) FailFile(path, std::string("cannot be written: ") + SystemMessage(errno));
  bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  written = (std::fclose(file) == 0) && written;
  if (!written) FailFile(path, "cannot be written (disk full?)");
  output.Commit();
}

}  // namespace tvx
