#include "output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "cli_error.h"
#include "private_folder.h"
#include "safe_write.h"

namespace tvx {
namespace {

bool g_standardOutputTaken = false;

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

// A free name in folder can be created and removed: the test the work
// would otherwise fail at its very end.
void CheckFolderWritable(const std::string& target, const std::string& folder, const std::string& base) {
  std::string probe = folder + "/." + base + ".talvox-tmp-" + std::to_string(getpid()) + "-probe";
  int fd = open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0 && errno != EEXIST)
    FailFile(target, "cannot write in folder " + folder + ": " + SystemMessage(errno));
  if (fd >= 0) {
    close(fd);
    unlink(probe.c_str());
  }
}

void CopyToStandardOutput(const std::string& source, const std::string& target) {
  int fd = open(source.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) FailFile(target, "the output was lost: " + SystemMessage(errno));
  std::fflush(stdout);
  std::string block(1 << 16, '\0');
  for (;;) {
    ssize_t got = read(fd, &block[0], block.size());
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    if (!WriteToDescriptor(1, block.data(), static_cast<size_t>(got))) {
      int error = errno;
      close(fd);
      FailFile("standard output", "cannot be written: " + SystemMessage(error));
    }
  }
  close(fd);
}

}  // namespace

OutputFile::OutputFile(std::string target) : target_(std::move(target)) {
  if (target_.empty() || target_.back() == '/') FailFile(target_, "not a file name");
  if (target_ == "-") {
    g_standardOutputTaken = true;
    staging_ = std::make_unique<PrivateFolder>();
    path_ = staging_->path() + "/output";
    return;
  }
  path_ = target_;
  struct stat info;
  if (stat(target_.c_str(), &info) == 0) {
    if (S_ISDIR(info.st_mode)) FailFile(target_, "is a folder");
    if (!S_ISREG(info.st_mode)) return;  // written in place
  }
  // Through a link, the temporary file lives beside the file it names.
  std::string real = ResolveLinks(target_);
  std::string folder = FolderOf(real), base = BaseOf(real);
  RemoveDeadWritersLeftovers(folder, base);
  CheckFolderWritable(target_, folder, base);
  ticket_ = RegisterTempPrefix(folder, "." + base + ".talvox-tmp-" + std::to_string(getpid()) + "-");
}

OutputFile::~OutputFile() {
  staging_.reset();
  if (ticket_) Unregister(ticket_);
}

void OutputFile::WriteAll(const std::string& bytes) {
  if (!WriteReplacing(path_, bytes)) FailFile(target_, "cannot be written: " + SystemMessage(errno));
}

void OutputFile::Commit() {
  CheckInterrupted();
  if (staging_) CopyToStandardOutput(path_, target_);
}

bool StandardOutputTaken() { return g_standardOutputTaken; }

FILE* ReportStream() { return g_standardOutputTaken ? stderr : stdout; }

void WriteTextFile(const std::string& path, const std::string& text) {
  OutputFile output(path);
  output.WriteAll(text);
  output.Commit();
}

}  // namespace tvx
