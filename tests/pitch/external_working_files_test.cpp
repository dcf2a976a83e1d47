// The external route in a folder it does not own: links, pipes, devices and
// folders at the working names are left alone, stale answers are not read,
// and only regular files are removed.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "fake_pap.h"
#include "pitch/external_pitch.h"
#include "test_support.h"

namespace talvox::test {
namespace {

std::vector<int16_t> Signal() { return VoicedSignal(100, 1000, 100, 80, 5000); }

std::string Text(const std::string& path) {
  std::vector<uint8_t> bytes = ReadBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

bool IsLink(const std::string& path) {
  struct stat info;
  return ::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

TEST(ExternalWorkingFiles, LinksAtAnyNameAreNeitherFollowedNorRemoved) {
  std::vector<int16_t> x = Signal();
  int32_t peaks[8];
  for (const char* name : {"temp.wav", "pitch.psc", "temp.pointprocess"}) {
    SCOPED_TRACE(name);
    FakePap pap(PointProcessText({0.01, 0.02}));
    const std::string precious = pap.Capture("precious.txt");
    FakePap::WriteText(precious, "keep me");
    ASSERT_EQ(::symlink(precious.c_str(), pap.WorkFile(name).c_str()), 0);
    EXPECT_EQ(_CalculatePeak(x.data(), 1200, 16000, peaks), 0);
    EXPECT_FALSE(pap.Launched());
    EXPECT_EQ(Text(precious), "keep me");
    EXPECT_TRUE(IsLink(pap.WorkFile(name)));
    // Nothing else was created beside it.
    for (const char* other : {"temp.wav", "pitch.psc", "temp.pointprocess"}) {
      if (std::string(other) != name) {
        EXPECT_FALSE(FileExists(pap.WorkFile(other)));
      }
    }
  }
}

TEST(ExternalWorkingFiles, PipesAndFoldersAreRefusedAtOnce) {
  std::vector<int16_t> x = Signal();
  int32_t peaks[8];
  for (const char* name : {"temp.wav", "pitch.psc", "temp.pointprocess"}) {
    SCOPED_TRACE(name);
    {
      FakePap pap(PointProcessText({0.01, 0.02}));
      ASSERT_EQ(::mkfifo(pap.WorkFile(name).c_str(), 0600), 0);
      EXPECT_EQ(_CalculatePeak(x.data(), 1200, 16000, peaks), 0);  // returns, no hang
      EXPECT_FALSE(pap.Launched());
      struct stat info;
      ASSERT_EQ(::lstat(pap.WorkFile(name).c_str(), &info), 0);
      EXPECT_TRUE(S_ISFIFO(info.st_mode));
    }
    {
      FakePap pap(PointProcessText({0.01, 0.02}));
      ASSERT_EQ(::mkdir(pap.WorkFile(name).c_str(), 0755), 0);
      EXPECT_EQ(_CalculatePeak(x.data(), 1200, 16000, peaks), 0);
      EXPECT_FALSE(pap.Launched());
      EXPECT_EQ(::rmdir(pap.WorkFile(name).c_str()), 0);
    }
  }
}

TEST(ExternalWorkingFiles, DeviceAtANameIsLeftAlone) {
  if (::geteuid() != 0) GTEST_SKIP() << "mknod needs root";
  std::vector<int16_t> x = Signal();
  int32_t peaks[8];
  FakePap pap(PointProcessText({0.01, 0.02}));
  // A null device of our own, never the system's.
  ASSERT_EQ(::mknod(pap.WorkFile("temp.wav").c_str(), S_IFCHR | 0666, makedev(1, 3)), 0);
  EXPECT_EQ(_CalculatePeak(x.data(), 1200, 16000, peaks), 0);
  EXPECT_FALSE(pap.Launched());
  struct stat info;
  ASSERT_EQ(::lstat(pap.WorkFile("temp.wav").c_str(), &info), 0);
  EXPECT_TRUE(S_ISCHR(info.st_mode));
}

TEST(ExternalWorkingFiles, RegularFilesAreOverwrittenThenRemoved) {
  std::vector<int16_t> x = Signal();
  int32_t peaks[8];
  FakePap pap(PointProcessText({0.01, 0.02}));
  FakePap::WriteText(pap.WorkFile("temp.wav"), std::string(100000, 'x'));
  FakePap::WriteText(pap.WorkFile("pitch.psc"), "old");
  EXPECT_EQ(_CalculatePeak(x.data(), 1200, 16000, peaks), 2);
  EXPECT_TRUE(pap.Launched());
  EXPECT_EQ(ReadBytes(pap.Capture("seen.wav")).size(), 44u + 2 * 1200);
  EXPECT_FALSE(pap.WorkingFilesLeft());
}

TEST(ExternalWorkingFiles, AStaleAnswerIsNotReadAsTheProgramsOwn) {
  std::vector<int16_t> x = Signal();
  int32_t peaks[8];
  FakePap silent("", 1, false);
  FakePap::WriteText(silent.WorkFile("temp.pointprocess"), PointProcessText({0.01, 0.02, 0.03}));
  EXPECT_EQ(_CalculatePeak(x.data(), 1200, 16000, peaks), 0);
  EXPECT_TRUE(silent.Launched());
  EXPECT_FALSE(silent.WorkingFilesLeft());
}

}  // namespace
}  // namespace talvox::test

namespace talvox::test {
namespace {

// Two processes in one folder: each must get the marks of its own signal.
// The stand-in answers one time that encodes the size of the temp.wav it
// finds after a pause long enough for the runs to overlap.
TEST(ExternalWorkingFiles, ProcessesSharingAFolderTakeTurns) {
  FakePap pap("");
  std::string script =
      "#!/bin/sh\n"
      "sleep 0.3\n"
      "size=$(wc -c < temp.wav)\n"
      "out=$(sed -n 's/^\\t\\tWrite to text file\\.\\.\\. //p' \"$1\")\n"
      "awk -v s=\"$size\" 'BEGIN { printf \"t [1] = %.6f\\n\", s / 1000000 }' > \"$out\"\n";
  // Replaces the stand-in's program, which lies first on PATH.
  std::string path = std::getenv("PATH");
  std::string program = path.substr(0, path.find(':')) + "/pap.exe";
  FakePap::WriteText(program, script);
  std::vector<pid_t> children;
  for (int32_t length : {1000, 3000}) {
    pid_t child = ::fork();
    if (child == 0) {
      std::vector<int16_t> x(static_cast<std::size_t>(length), 100);
      int32_t peaks[4] = {0, 0, 0, 0};
      int32_t count = _CalculatePeak(x.data(), length, 16000, peaks);
      // R = trunc(16000 * (44 + 2 * length) / 1e6).
      int32_t expected = static_cast<int32_t>(16000.0 * static_cast<float>((44 + 2 * length) / 1e6));
      ::_exit(count == 1 && peaks[0] == expected ? 0 : 1);
    }
    children.push_back(child);
  }
  for (pid_t child : children) {
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a run got another's marks";
  }
  EXPECT_FALSE(pap.WorkingFilesLeft());
}

}  // namespace
}  // namespace talvox::test
