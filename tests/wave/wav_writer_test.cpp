#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <string>

#include "wav_images.h"

namespace talvox::test {
namespace {

class WavWriter : public DocumentTest {
 protected:
  void LoadRamp(int frames, int channels) {
    std::vector<int16_t> samples(static_cast<std::size_t>(frames * channels));
    for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<int16_t>(i * 3 - 700);
    signal = samples;
    LoadSignal(samples, channels, 16000);
  }
  std::vector<uint8_t> Saved(int32_t mode, int32_t start, int32_t count) {
    const std::string path = dir.File("out");
    EXPECT_EQ(SaveWaveFile(mode, path.c_str(), start, count), 1);
    return ReadBytes(path);
  }
  uint32_t U32At(const std::vector<uint8_t>& b, std::size_t at) {
    uint32_t v;
    std::memcpy(&v, b.data() + at, 4);
    return v;
  }
  std::vector<int16_t> signal;
  TempDir dir;
};

TEST_F(WavWriter, RangeWithHeaderOnMono) {
  LoadRamp(300, 1);
  const uint32_t dataSizeBefore = GetWaveFileHead()->dataSize;
  const auto bytes = Saved(3, 100, 50);
  ASSERT_EQ(bytes.size(), 144u);
  EXPECT_EQ(U32At(bytes, 40), 100u);
  EXPECT_EQ(U32At(bytes, 4), 136u);
  EXPECT_EQ(GetWaveFileHead()->dataSize, dataSizeBefore);
  const std::vector<int16_t> expected(signal.begin() + 100, signal.begin() + 150);
  EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 44, bytes.end()), SampleBytes(expected));
}

TEST_F(WavWriter, RangeWithHeaderOnStereoWritesFrames) {
  LoadRamp(300, 2);
  const auto bytes = Saved(3, 10, 5);
  ASSERT_EQ(bytes.size(), 44u + 20u);
  EXPECT_EQ(U32At(bytes, 40), 20u);
  const std::vector<int16_t> expected(signal.begin() + 20, signal.begin() + 30);
  EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 44, bytes.end()), SampleBytes(expected));
}

TEST_F(WavWriter, RawModesOnStereo) {
  LoadRamp(100, 2);
  // Mode 2 writes the interleaved frames, mode 4 channel 0 alone.
  EXPECT_EQ(Saved(2, 0, 0), SampleBytes(signal));
  std::vector<int16_t> left;
  for (int i = 5; i < 15; ++i) left.push_back(signal[2 * i]);
  EXPECT_EQ(Saved(4, 5, 10), SampleBytes(left));
}

TEST_F(WavWriter, ReplacesAnExistingFileAndLeavesNoTemporary) {
  LoadRamp(100, 1);
  const std::string path = dir.File("out");
  WriteBytes(path, std::vector<uint8_t>(5000, 7));
  GetWaveFileHead()->riffSize = 1;
  ASSERT_EQ(SaveWaveFile(1, path.c_str(), 0, 0), 1);
  EXPECT_EQ(GetWaveFileHead()->riffSize, 236u);
  EXPECT_EQ(ReadBytes(path).size(), 244u);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                          std::filesystem::directory_iterator()),
            1);
}

TEST_F(WavWriter, DevicesAreWrittenInPlaceAndLinksFollowed) {
  LoadRamp(100, 1);
  // /dev/null stays the device; a temporary beside it would need /dev.
  EXPECT_EQ(SaveWaveFile(1, "/dev/null", 0, 0), 1);
  struct stat info;
  ASSERT_EQ(stat("/dev/null", &info), 0);
  EXPECT_TRUE(S_ISCHR(info.st_mode));
  const std::string target = dir.File("target.wav");
  const std::string link = dir.File("link.wav");
  WriteBytes(target, {1});
  chmod(target.c_str(), 0640);
  ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
  ASSERT_EQ(SaveWaveFile(1, link.c_str(), 0, 0), 1);
  ASSERT_EQ(lstat(link.c_str(), &info), 0);
  EXPECT_TRUE(S_ISLNK(info.st_mode));
  EXPECT_EQ(ReadBytes(target).size(), 244u);
  ASSERT_EQ(stat(target.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
}

// A link that names no file yet, relative and through a second link: the
// file is made where the links point, and both links stay.
TEST_F(WavWriter, ADanglingLinkGetsItsFileMadeAtItsTarget) {
  LoadRamp(100, 1);
  ASSERT_EQ(mkdir(dir.File("sub").c_str(), 0755), 0);
  ASSERT_EQ(symlink("new.wav", dir.File("sub/inner.wav").c_str()), 0);
  ASSERT_EQ(symlink("sub/inner.wav", dir.File("outer.wav").c_str()), 0);
  ASSERT_EQ(SaveWaveFile(1, dir.File("outer.wav").c_str(), 0, 0), 1);
  struct stat info;
  for (const char* link : {"outer.wav", "sub/inner.wav"}) {
    ASSERT_EQ(lstat(dir.File(link).c_str(), &info), 0) << link;
    EXPECT_TRUE(S_ISLNK(info.st_mode)) << link;
  }
  EXPECT_EQ(ReadBytes(dir.File("sub/new.wav")).size(), 244u);
}

TEST_F(WavWriter, OtherModesCreateAnEmptyFile) {
  LoadRamp(100, 1);
  const std::string path = dir.File("out");
  WriteBytes(path, {1, 2, 3});
  EXPECT_EQ(SaveWaveFile(5, path.c_str(), 0, 0), 1);
  EXPECT_TRUE(FileExists(path));
  EXPECT_TRUE(ReadBytes(path).empty());
}

TEST_F(WavWriter, BadRangesCreateNothing) {
  LoadRamp(100, 1);
  const std::string path = dir.File("out");
  const int32_t ranges[][2] = {{-1, 10}, {0, -1}, {90, 11}, {100, 1}, {2147483000, 1000}};
  for (int mode = 3; mode <= 4; ++mode) {
    for (const auto& r : ranges) {
      EXPECT_EQ(SaveWaveFile(mode, path.c_str(), r[0], r[1]), 0) << mode << " " << r[0];
      EXPECT_FALSE(FileExists(path));
    }
  }
  EXPECT_EQ(SaveWaveFile(4, path.c_str(), 90, 10), 1);
  EXPECT_EQ(ReadBytes(path).size(), 20u);
}

TEST_F(WavWriter, MissingFolderFailsAndLeavesNoFile) {
  LoadRamp(100, 1);
  const std::string path = dir.File("no/such/folder/out.wav");
  for (int mode = 1; mode <= 5; ++mode) EXPECT_EQ(SaveWaveFile(mode, path.c_str(), 0, 10), 0);
  EXPECT_FALSE(FileExists(dir.File("no")));
}

TEST_F(WavWriter, FailedWriteKeepsTheOldFileAndLeavesNoTemporary) {
  LoadRamp(100, 1);
  const std::string path = dir.File("keep.wav");
  WriteBytes(path, {9, 9, 9});
  // A read-only folder refuses the temporary file.
  chmod(dir.path().c_str(), 0555);
  if (access(dir.path().c_str(), W_OK) == 0) {
    chmod(dir.path().c_str(), 0755);
    GTEST_SKIP() << "running with rights that ignore folder permissions";
  }
  EXPECT_EQ(SaveWaveFile(1, path.c_str(), 0, 0), 0);
  chmod(dir.path().c_str(), 0755);
  EXPECT_EQ(ReadBytes(path), (std::vector<uint8_t>{9, 9, 9}));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                          std::filesystem::directory_iterator()),
            1);
}

TEST_F(WavWriter, WriteErrorFailsAndKeepsTheOldFile) {
  LoadRamp(10000, 1);
  const std::string path = dir.File("keep.wav");
  WriteBytes(path, {9, 9, 9});
  // A file-size limit makes the writes fail as a full disk would.
  std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit limit = {4096, 4096};
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
  EXPECT_EQ(SaveWaveFile(1, path.c_str(), 0, 0), 0);
  EXPECT_EQ(ReadBytes(path), (std::vector<uint8_t>{9, 9, 9}));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                          std::filesystem::directory_iterator()),
            1);
}

TEST_F(WavWriter, ArraysShorterThanTheHeaderAreZeroFilled) {
  LoadRamp(10, 1);
  SetWaveLength(12);  // header claims two samples the array does not hold
  const auto bytes = Saved(1, 0, 0);
  ASSERT_EQ(bytes.size(), 44u + 24u);
  std::vector<int16_t> expected = signal;
  expected.resize(12, 0);
  EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 44, bytes.end()), SampleBytes(expected));
  EXPECT_EQ(SaveWaveFile(3, dir.File("r").c_str(), 0, 12), 0);
}

TEST_F(WavWriter, ChannelCountsWithoutALayoutAreRefused) {
  LoadRamp(10, 1);
  SetChannels(3);
  EXPECT_EQ(SaveWaveFile(1, dir.File("a").c_str(), 0, 0), 0);
  SetChannels(0);
  EXPECT_EQ(SaveWaveFile(2, dir.File("b").c_str(), 0, 0), 0);
  EXPECT_FALSE(FileExists(dir.File("a")));
}

}  // namespace
}  // namespace talvox::test
