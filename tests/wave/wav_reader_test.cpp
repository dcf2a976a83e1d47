#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "wav_images.h"
#include "wave/wave_buffer.h"

namespace talvox::test {
namespace {

// Everything a refused read must leave alone.
struct WaveSnapshot {
  TvxWaveHeader header;
  int16_t* channel[2];
  std::vector<int16_t> samples[2];

  static WaveSnapshot Take() {
    const WaveBuffer& wave = TheWave();
    WaveSnapshot s{wave.header, {wave.channel[0], wave.channel[1]}, {}};
    for (int c = 0; c < 2; ++c) {
      if (wave.channel[c]) s.samples[c].assign(wave.channel[c], wave.channel[c] + wave.room[c]);
    }
    return s;
  }
  void ExpectUnchanged() const {
    const WaveBuffer& wave = TheWave();
    EXPECT_EQ(std::memcmp(&header, &wave.header, sizeof header), 0);
    for (int c = 0; c < 2; ++c) {
      EXPECT_EQ(channel[c], wave.channel[c]);
      if (wave.channel[c]) {
        EXPECT_EQ(samples[c],
                  std::vector<int16_t>(wave.channel[c], wave.channel[c] + wave.room[c]));
      }
    }
  }
};

class WavReader : public DocumentTest {
 protected:
  void SetUp() override {
    DocumentTest::SetUp();
    LoadSignal({11, -22, 33, -44, 55}, 1, 8000);
  }
  // Writes the image, reads it with mode 1 and returns the result.
  int32_t Read(const std::vector<uint8_t>& image) {
    const std::string path = dir.File("in.wav");
    WriteBytes(path, image);
    return ReadWaveFile(1, path.c_str(), 0, 0);
  }
  std::vector<int16_t> Channel(int c) {
    int16_t* data = GetDataBuffer(c);
    return data ? std::vector<int16_t>(data, data + GetWaveLength()) : std::vector<int16_t>{};
  }
  TempDir dir;
};

const std::vector<int16_t> kMono = {0, 1, -1, 32767, -32768, 1234, -4321, 7};
const std::vector<int16_t> kStereo = {1, -1, 2, -2, 3, -3, 32767, -32768};

TEST_F(WavReader, CanonicalMonoRoundTripsByteForByte) {
  const auto image = CanonicalWav(kMono, 1, 22050);
  ASSERT_EQ(Read(image), 1);
  EXPECT_EQ(GetWaveLength(), 8);
  EXPECT_EQ(GetSamplesPerSec(), 22050);
  EXPECT_EQ(Channel(0), kMono);
  EXPECT_EQ(GetDataBuffer(1), nullptr);
  const std::string out = dir.File("out.wav");
  ASSERT_EQ(SaveWaveFile(1, out.c_str(), 0, 0), 1);
  EXPECT_EQ(ReadBytes(out), image);
}

TEST_F(WavReader, CanonicalStereoRoundTripsByteForByte) {
  const auto image = CanonicalWav(kStereo, 2, 44100);
  ASSERT_EQ(Read(image), 1);
  EXPECT_EQ(GetChannels(), 2);
  EXPECT_EQ(GetWaveLength(), 4);
  EXPECT_EQ(Channel(0), (std::vector<int16_t>{1, 2, 3, 32767}));
  EXPECT_EQ(Channel(1), (std::vector<int16_t>{-1, -2, -3, -32768}));
  const std::string out = dir.File("out.wav");
  ASSERT_EQ(SaveWaveFile(1, out.c_str(), 0, 0), 1);
  EXPECT_EQ(ReadBytes(out), image);
}

// Stereo data is split block by block; frames on both sides of every block
// edge (and a last, partial block) must land in their channels.
TEST_F(WavReader, LongStereoFileIsSplitAcrossReadBlocks) {
  const int32_t frames = 3 * 32768 + 4321;
  std::vector<int16_t> interleaved(2 * static_cast<size_t>(frames));
  for (size_t i = 0; i < interleaved.size(); ++i) {
    interleaved[i] = static_cast<int16_t>(i % 2 ? -static_cast<int32_t>(i * 7 % 32768) : i * 13 % 65536);
  }
  const auto image = CanonicalWav(interleaved, 2, 44100);
  ASSERT_EQ(Read(image), 1);
  ASSERT_EQ(GetWaveLength(), frames);
  const std::vector<int16_t> left = Channel(0), right = Channel(1);
  for (int32_t i = 0; i < frames; ++i) {
    ASSERT_EQ(left[i], interleaved[2 * static_cast<size_t>(i)]) << i;
    ASSERT_EQ(right[i], interleaved[2 * static_cast<size_t>(i) + 1]) << i;
  }
  const std::string out = dir.File("out.wav");
  ASSERT_EQ(SaveWaveFile(1, out.c_str(), 0, 0), 1);
  EXPECT_EQ(ReadBytes(out), image);
}

TEST_F(WavReader, NonCanonicalLayoutsLoadAsTheCanonicalHeader) {
  FmtFields plain;
  FmtFields extra;
  extra.size = 18;
  FmtFields extensible;
  extensible.tag = 0xFFFE;
  extensible.size = 40;
  const auto data = Chunk("data", SampleBytes(kMono));
  const std::vector<uint8_t> oddList = {'I', 'N', 'F', 'O', 'x'};
  const std::vector<std::vector<uint8_t>> images = {
      Riff({Chunk("LIST", oddList), FmtChunk(plain), Chunk("fact", {8, 0, 0, 0}), data}),
      Riff({FmtChunk(extra), data}),
      Riff({FmtChunk(extensible), Chunk("cue ", {0, 0, 0, 0}), data}),
      Riff({data, FmtChunk(plain)}),  // data before fmt
      Riff({FmtChunk(plain), data, Chunk("LIST", oddList)}),
  };
  const auto canonical = CanonicalWav(kMono, 1, 16000);
  for (std::size_t i = 0; i < images.size(); ++i) {
    SCOPED_TRACE(i);
    ASSERT_EQ(Read(images[i]), 1);
    EXPECT_EQ(Channel(0), kMono);
    EXPECT_EQ(std::memcmp(GetWaveFileHead(), canonical.data(), 44), 0);
  }
}

TEST_F(WavReader, DataClaimingMoreThanTheFileIsCutToWholeFrames) {
  FmtFields stereo;
  stereo.channels = 2;
  auto bytes = SampleBytes(kStereo);
  bytes.resize(bytes.size() - 2);  // the last frame is half there
  auto image = Riff({FmtChunk(stereo)});
  const auto data = Chunk("data", bytes, 1000);
  image.insert(image.end(), data.begin(), data.end());
  ASSERT_EQ(Read(image), 1);
  EXPECT_EQ(GetWaveFileHead()->dataSize, 12u);
  EXPECT_EQ(GetWaveLength(), 3);
  EXPECT_EQ(Channel(1), (std::vector<int16_t>{-1, -2, -3}));
}

TEST_F(WavReader, HeaderOnlyFileGivesAnEmptySignal) {
  auto image = CanonicalWav({}, 1, 16000);
  ASSERT_EQ(image.size(), 44u);
  image[40] = 0xE8;  // claims 1000 bytes that are not there
  image[41] = 0x03;
  ASSERT_EQ(Read(image), 1);
  EXPECT_EQ(GetWaveLength(), 0);
  EXPECT_EQ(GetWaveFileHead()->riffSize, 36u);
}

TEST_F(WavReader, UnsupportedFilesAreRefusedAndTheSignalKept) {
  const auto data = Chunk("data", SampleBytes(kMono));
  auto withFmt = [&](FmtFields f) { return Riff({FmtChunk(f), data}); };
  FmtFields eight, twentyFour, thirtyTwo, floating, none, three, extensibleFloat;
  eight.bits = 8;
  twentyFour.bits = 24;
  thirtyTwo.bits = 32;
  floating.tag = 3;
  floating.bits = 32;
  none.channels = 0;
  three.channels = 3;
  extensibleFloat.tag = 0xFFFE;
  extensibleFloat.size = 40;
  extensibleFloat.pcmSubFormat = false;
  const auto canonical = CanonicalWav(kMono, 1, 16000);
  auto notWave = canonical;
  std::memcpy(notWave.data() + 8, "AVI ", 4);
  const std::vector<std::vector<uint8_t>> refused = {
      withFmt(eight),
      withFmt(twentyFour),
      withFmt(thirtyTwo),
      withFmt(floating),
      withFmt(none),
      withFmt(three),
      withFmt(extensibleFloat),
      Riff({data}),
      Riff({FmtChunk(FmtFields{})}),
      notWave,
      std::vector<uint8_t>(44, 0),
      std::vector<uint8_t>(canonical.begin(), canonical.begin() + 30),
  };
  for (std::size_t i = 0; i < refused.size(); ++i) {
    SCOPED_TRACE(i);
    const WaveSnapshot before = WaveSnapshot::Take();
    EXPECT_EQ(Read(refused[i]), 0);
    before.ExpectUnchanged();
  }
}

TEST_F(WavReader, EmptyAndMissingFilesAreRefused) {
  const WaveSnapshot before = WaveSnapshot::Take();
  EXPECT_EQ(Read({}), 0);
  EXPECT_EQ(ReadWaveFile(1, dir.File("missing.wav").c_str(), 0, 0), 0);
  EXPECT_EQ(ReadWaveFile(0, dir.File("missing.raw").c_str(), 8000, 16), 0);
  EXPECT_EQ(ReadWaveFile(0, dir.File("in.wav").c_str(), 8000, 16), 0);  // 0 bytes
  EXPECT_EQ(ReadWaveFile(1, dir.path().c_str(), 0, 0), 0);              // a folder
  const std::string fifo = dir.File("pipe");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(ReadWaveFile(1, fifo.c_str(), 0, 0), 0);  // refused, not waited on
  before.ExpectUnchanged();
}

TEST_F(WavReader, RawFileDescribedByRateAndBits) {
  std::vector<int16_t> samples(500);
  for (int i = 0; i < 500; ++i) samples[i] = static_cast<int16_t>(i * 37 - 9000);
  const std::string path = dir.File("in.raw");
  WriteBytes(path, SampleBytes(samples));
  ASSERT_EQ(ReadWaveFile(0, path.c_str(), 8000, 16), 1);
  EXPECT_EQ(GetWaveLength(), 500);
  EXPECT_EQ(GetBlockAlign(), 2);
  EXPECT_EQ(GetAvgBytesPerSec(), 16000);
  EXPECT_EQ(GetChannels(), 1);
  EXPECT_EQ(GetBitsPerSample(), 16);
  EXPECT_EQ(Channel(0), samples);
}

TEST_F(WavReader, RawFileOfOddLengthKeepsItsByteCount) {
  const std::string path = dir.File("odd.raw");
  WriteBytes(path, {1, 0, 2, 0, 3});
  ASSERT_EQ(ReadWaveFile(7, path.c_str(), 16000, 16), 1);
  EXPECT_EQ(GetWaveFileHead()->dataSize, 5u);
  EXPECT_EQ(GetWaveLength(), 2);
  const std::string out = dir.File("odd-out.raw");
  ASSERT_EQ(SaveWaveFile(2, out.c_str(), 0, 0), 1);
  EXPECT_EQ(ReadBytes(out), (std::vector<uint8_t>{1, 0, 2, 0, 3}));
}

TEST_F(WavReader, RecordedSpeechRoundTripsByteForByte) {
  const std::string speech = std::string(TALVOX_SOURCE_DIR) + "/data/librivox-austen-0870.wav";
  ASSERT_EQ(ReadWaveFile(1, speech.c_str(), 0, 0), 1);
  EXPECT_EQ(GetWaveLength(), 113600);
  EXPECT_EQ(GetSamplesPerSec(), 16000);
  const std::string out = dir.File("copy.wav");
  ASSERT_EQ(SaveWaveFile(1, out.c_str(), 0, 0), 1);
  EXPECT_EQ(ReadBytes(out), ReadBytes(speech));
}

TEST_F(WavReader, FileWrittenBySoxLoadsWithItsSamples) {
  if (std::system("command -v sox > /dev/null 2>&1") != 0) GTEST_SKIP() << "sox not installed";
  std::vector<int16_t> frames;
  for (int i = 0; i < 2000; ++i) {
    frames.push_back(static_cast<int16_t>(i * 13 - 13000));
    frames.push_back(static_cast<int16_t>(9000 - i * 7));
  }
  const std::string raw = dir.File("src.raw");
  const std::string wav = dir.File("sox.wav");
  WriteBytes(raw, SampleBytes(frames));
  // A comment makes sox add a LIST chunk before the data.
  const std::string command = "sox -t raw -r 16000 -e signed -b 16 -c 2 " + raw +
                              " --comment 'talvox test' " + wav + " 2> /dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0);
  ASSERT_EQ(ReadWaveFile(1, wav.c_str(), 0, 0), 1);
  ASSERT_EQ(GetWaveLength(), 2000);
  EXPECT_EQ(GetChannels(), 2);
  EXPECT_EQ(GetSamplesPerSec(), 16000);
  std::vector<int16_t> left, right;
  for (int i = 0; i < 2000; ++i) {
    left.push_back(frames[2 * i]);
    right.push_back(frames[2 * i + 1]);
  }
  EXPECT_EQ(Channel(0), left);
  EXPECT_EQ(Channel(1), right);
}

}  // namespace
}  // namespace talvox::test
