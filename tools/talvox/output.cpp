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

// An interruption is acted on between library calls, never inside one, so
// a file the library is writing is finished (or removed) before the
// temporary names are cleaned up. A second signal ends the process at once.
volatile sig_atomic_t g_interrupt = 0;

void OnInterrupt(int signalNumber) {
  g_interrupt = signalNumber;
  static const char kNote[] = "\ntalvox: interrupted; stopping at the next safe point (again to stop at once)\n";
  ssize_t ignored = write(2, kNote, sizeof kNote - 1);
  (void)ignored;
  signal(signalNumber, SIG_DFL);
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
}

OutputFile::~OutputFile() {
  if (!committed_) unlink(temp_.c_str());
}

void OutputFile::Commit() {
  CheckInterrupted();
  // mkstemp makes the file private; give the result the usual permissions.
  mode_t mask = umask(0);
  umask(mask);
  chmod(temp_.c_str(), 0666 & ~mask);
  if (rename(temp_.c_str(), target_.c_str()) != 0)
    FailFile(target_, std::string("cannot be written: ") + SystemMessage(errno));
  committed_ = true;
}

void InstallInterruptCleanup() {
  for (int signalNumber : {SIGINT, SIGTERM, SIGHUP}) signal(signalNumber, OnInterrupt);
}

void CheckInterrupted() {
  constexpr int kSignalStatusBase = 128;  // the shell's convention for "ended by signal N"
  if (g_interrupt) throw CliError(kSignalStatusBase + g_interrupt, "interrupted");
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
