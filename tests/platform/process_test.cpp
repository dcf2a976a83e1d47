// Launching a program through PATH and deleting files.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include <cstdlib>
#include <fstream>

#include "platform/process.h"
#include "test_support.h"

namespace talvox::test {
namespace {

void WriteScript(const std::string& path, const std::string& body) {
  std::ofstream(path) << "#!/bin/sh\n" << body;
  ::chmod(path.c_str(), 0755);
}

TEST(LaunchHidden, FindsTheProgramOnPathAndWaitsForIt) {
  TempDir dir;
  // Writes its file only after a pause and reads stdin (which is /dev/null,
  // so it ends at once); the file must be complete on return.
  WriteScript(dir.File("slow.exe"),
              "sleep 0.3\ncat > \"$2\"\necho done >> \"$2\"\necho noise\necho noise >&2\nexit 7\n");
  std::string path = dir.path() + ":/usr/bin:/bin";
  ::setenv("PATH", path.c_str(), 1);
  std::string command = "slow.exe  ignored " + dir.File("out.txt");
  EXPECT_EQ(LaunchHidden(command.c_str()), 7);
  std::vector<uint8_t> out = ReadBytes(dir.File("out.txt"));
  EXPECT_EQ(std::string(out.begin(), out.end()), "done\n");
  EXPECT_EQ(LaunchHidden("no-such-program.exe x"), -1);
  EXPECT_EQ(LaunchHidden(""), -1);
  EXPECT_EQ(LaunchHidden(nullptr), -1);
}

TEST(DeleteFileByName, RemovesFilesOnly) {
  TempDir dir;
  WriteBytes(dir.File("a"), {1, 2});
  EXPECT_EQ(DeleteFileByName(dir.File("a").c_str()), 1);
  EXPECT_FALSE(FileExists(dir.File("a")));
  EXPECT_EQ(DeleteFileByName(dir.File("a").c_str()), 0);
  EXPECT_EQ(DeleteFileByName(nullptr), 0);
}


bool IsGone(pid_t pid) {
  // Gone, or a zombie waiting for its new parent to reap it.
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string pidWord, name, state;
  if (!(stat >> pidWord >> name >> state)) return true;
  return state == "Z" || state == "X";
}

TEST(LaunchHidden, TheProgramDiesWithItsHost) {
  TempDir dir;
  const std::string pidFile = dir.File("pid");
  WriteScript(dir.File("linger.exe"), "echo $$ > \"$1.part\"\nmv \"$1.part\" \"$1\"\nexec sleep 30\n");
  std::string path = dir.path() + ":/usr/bin:/bin";
  ::setenv("PATH", path.c_str(), 1);
  pid_t host = ::fork();
  ASSERT_GE(host, 0);
  if (host == 0) {
    std::string command = "linger.exe " + pidFile;
    LaunchHidden(command.c_str());
    ::_exit(0);
  }
  pid_t program = 0;
  for (int i = 0; i < 500 && program == 0; ++i) {
    ::usleep(10000);
    std::ifstream in(pidFile);
    in >> program;
  }
  ASSERT_GT(program, 0);
  ::kill(host, SIGKILL);
  int status = 0;
  ::waitpid(host, &status, 0);
  bool gone = false;
  for (int i = 0; i < 200 && !gone; ++i) {
    gone = IsGone(program);
    if (!gone) ::usleep(10000);
  }
  EXPECT_TRUE(gone) << "pap.exe outlived its killed host";
  if (!gone) ::kill(program, SIGKILL);
}

}  // namespace
}  // namespace talvox::test
