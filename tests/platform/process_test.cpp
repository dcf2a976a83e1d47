// Launching a program through PATH and deleting files.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

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

}  // namespace
}  // namespace talvox::test
