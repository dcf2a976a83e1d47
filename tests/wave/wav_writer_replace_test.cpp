// How a save replaces a file: owner and mode kept, and the one temporary
// file named so that a later run can tell whose it was.
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "wav_images.h"

namespace talvox::test {
namespace {

class WavWriterReplace : public DocumentTest {
 protected:
  void SetUp() override {
    DocumentTest::SetUp();
    LoadSignal(std::vector<int16_t>(4000, 5), 1, 16000);
  }
  TempDir dir;
};

TEST_F(WavWriterReplace, OwnerGroupAndModeAreKept) {
  if (::geteuid() != 0) GTEST_SKIP() << "giving a file away needs root";
  const std::string path = dir.File("out.wav");
  WriteBytes(path, {1, 2, 3});
  ASSERT_EQ(::chown(path.c_str(), 4321, 4322), 0);
  ASSERT_EQ(::chmod(path.c_str(), 0604), 0);
  ASSERT_EQ(SaveWaveFile(1, path.c_str(), 0, 0), 1);
  struct stat info;
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_uid, 4321u);
  EXPECT_EQ(info.st_gid, 4322u);
  EXPECT_EQ(info.st_mode & 07777, 0604u);
  EXPECT_EQ(info.st_size, 44 + 8000);
}

TEST_F(WavWriterReplace, OneTemporaryNamedAfterTheTargetAndTheWriter) {
  const std::string path = dir.File("out.wav");
  WriteBytes(path, {1});
  int watch = ::inotify_init1(IN_NONBLOCK);
  ASSERT_GE(watch, 0);
  ASSERT_GE(::inotify_add_watch(watch, dir.path().c_str(), IN_CREATE), 0);
  ASSERT_EQ(SaveWaveFile(1, path.c_str(), 0, 0), 1);
  std::vector<std::string> created;
  alignas(inotify_event) char buffer[4096];
  ssize_t got = ::read(watch, buffer, sizeof buffer);
  for (ssize_t at = 0; at < got;) {
    const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
    if (event->len > 0) created.emplace_back(event->name);
    at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
  }
  ::close(watch);
  ASSERT_EQ(created.size(), 1u);
  const std::string prefix = ".out.wav.talvox-tmp-" + std::to_string(::getpid()) + "-";
  EXPECT_EQ(created[0].compare(0, prefix.size(), prefix), 0) << created[0];
  EXPECT_FALSE(FileExists(dir.File(created[0])));
}

}  // namespace
}  // namespace talvox::test
