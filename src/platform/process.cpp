#include "platform/process.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace talvox {

namespace {

std::vector<std::string> SplitWords(const char* commandLine) {
  std::vector<std::string> words;
  std::istringstream in(commandLine);
  std::string word;
  while (in >> word) words.push_back(word);
  return words;
}

// Sends stdin, stdout and stderr of the child to /dev/null: the program runs
// unseen, as with a hidden window.
bool SilenceStreams(posix_spawn_file_actions_t& actions) {
  return posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0) == 0 &&
         posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0) == 0 &&
         posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0) == 0;
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
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  if (posix_spawn_file_actions_init(&actions) != 0) return -1;
  pid_t child = 0;
  int started = SilenceStreams(actions)
                    ? posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ)
                    : -1;
  posix_spawn_file_actions_destroy(&actions);
  if (started != 0) return -1;
  return WaitForExit(child);
}

int32_t DeleteFileByName(const char* path) {
  return path != nullptr && unlink(path) == 0 ? 1 : 0;
}

}  // namespace talvox
