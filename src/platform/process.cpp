#include "platform/process.h"

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace talvox {

namespace {

// What a child that could not start its program reports, as a shell does.
constexpr int kNotStarted = 127;

std::vector<std::string> SplitWords(const char* commandLine) {
  std::vector<std::string> words;
  std::istringstream in(commandLine);
  std::string word;
  while (in >> word) words.push_back(word);
  return words;
}

bool IsRunnable(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

// The program's path as the shell finds it: a name with a slash as it is,
// otherwise the first runnable file of that name in a PATH folder (an empty
// entry is the current folder). Found here, before the fork, because the
// child of a threaded host may only make async-signal-safe calls.
std::string FindProgram(const std::string& name) {
  if (name.find('/') != std::string::npos) return IsRunnable(name) ? name : std::string();
  const char* path = std::getenv("PATH");
  std::string folders = path != nullptr ? path : "/usr/bin:/bin";
  std::size_t begin = 0;
  for (;;) {
    std::size_t colon = folders.find(':', begin);
    std::string folder = folders.substr(begin, colon == std::string::npos ? colon : colon - begin);
    std::string candidate = (folder.empty() ? "." : folder) + "/" + name;
    if (IsRunnable(candidate)) return candidate;
    if (colon == std::string::npos) return std::string();
    begin = colon + 1;
  }
}

// In the child, before exec: ends with the thread that launched it (a killed
// host takes the program with it), and runs unseen with its standard streams
// on /dev/null. Only async-signal-safe calls.
[[noreturn]] void RunChild(const char* program, char* const* argv, pid_t parent) {
  ::prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (::getppid() != parent) ::_exit(kNotStarted);  // the host died before the prctl
  int null = ::open("/dev/null", O_RDWR);
  if (null < 0) ::_exit(kNotStarted);
  for (int fd = 0; fd < 3; ++fd) {
    if (::dup2(null, fd) < 0) ::_exit(kNotStarted);
  }
  if (null > 2) ::close(null);
  // The host may block signals in its threads; the program starts clean.
  sigset_t none;
  sigemptyset(&none);
  ::sigprocmask(SIG_SETMASK, &none, nullptr);
  ::execve(program, argv, environ);
  ::_exit(kNotStarted);
}

int32_t WaitForExit(pid_t child) {
  int status = 0;
  while (waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

int32_t LaunchHidden(const char* commandLine) {
  if (commandLine == nullptr) return -1;
  std::vector<std::string> words = SplitWords(commandLine);
  if (words.empty()) return -1;
  std::string program = FindProgram(words[0]);
  if (program.empty()) return -1;
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);

  const pid_t parent = ::getpid();
  pid_t child = ::fork();
  if (child < 0) return -1;
  if (child == 0) RunChild(program.c_str(), argv.data(), parent);
  return WaitForExit(child);
}

int32_t DeleteFileByName(const char* path) {
  return path != nullptr && unlink(path) == 0 ? 1 : 0;
}

}  // namespace talvox
