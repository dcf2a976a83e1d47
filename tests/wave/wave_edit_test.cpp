#include <numeric>

#include "test_support.h"
#include "wave/wave_buffer.h"

namespace talvox::test {
namespace {

class WaveEdit : public DocumentTest {
 protected:
  // Channel c holds c * 1000 + i at sample i.
  void LoadFrames(int frames, int channels) {
    std::vector<int16_t> samples;
    for (int i = 0; i < frames; ++i) {
      for (int c = 0; c < channels; ++c) samples.push_back(static_cast<int16_t>(c * 1000 + i));
    }
    LoadSignal(samples, channels, 16000);
  }
  std::vector<int16_t> Channel(int c) {
    return std::vector<int16_t>(GetDataBuffer(c), GetDataBuffer(c) + GetWaveLength());
  }
  static std::vector<int16_t> Range(int from, int to, int offset = 0) {
    std::vector<int16_t> out;
    for (int i = from; i < to; ++i) out.push_back(static_cast<int16_t>(offset + i));
    return out;
  }
  static std::vector<int16_t> Join(std::vector<int16_t> a, const std::vector<int16_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
  }
};

TEST_F(WaveEdit, DefaultHeaderAfterInit) {
  const TvxWaveHeader* h = GetWaveFileHead();
  EXPECT_EQ(std::string(h->riff, 4), "RIFF");
  EXPECT_EQ(std::string(h->data, 4), "data");
  EXPECT_EQ(h->fmtSize, 16u);
  EXPECT_EQ(GetChannels(), 1);
  EXPECT_EQ(GetSamplesPerSec(), 16000);
  EXPECT_EQ(GetAvgBytesPerSec(), 32000);
  EXPECT_EQ(GetBlockAlign(), 2);
  EXPECT_EQ(GetBitsPerSample(), 16);
  EXPECT_EQ(GetWaveLength(), 0);
}

TEST_F(WaveEdit, CutOnMono) {
  LoadFrames(20, 1);
  ASSERT_EQ(CutWave(5, 5), 1);  // one sample
  EXPECT_EQ(Channel(0), Join(Range(0, 5), Range(6, 20)));
  ASSERT_EQ(CutWave(10, 100), 1);  // past the end: truncated to start
  EXPECT_EQ(GetWaveLength(), 10);
  ASSERT_EQ(CutWave(0, 9), 1);
  EXPECT_EQ(GetWaveLength(), 0);
}

TEST_F(WaveEdit, CutAndPasteOnStereoMoveBothChannels) {
  LoadFrames(20, 2);
  const uint32_t size = GetWaveFileHead()->dataSize;
  ASSERT_EQ(CutWave(2, 4), 1);
  EXPECT_EQ(GetWaveFileHead()->dataSize, size - 12);
  EXPECT_EQ(Channel(0), Join(Range(0, 2), Range(5, 20)));
  EXPECT_EQ(Channel(1), Join(Range(0, 2, 1000), Range(5, 20, 1000)));
  std::vector<int16_t> left = Range(2, 5), right = Range(2, 5, 1000);
  int16_t* sources[2] = {left.data(), right.data()};
  ASSERT_EQ(PasteWave(2, sources, 3), 1);
  EXPECT_EQ(GetWaveFileHead()->dataSize, size);
  EXPECT_EQ(Channel(0), Range(0, 20));
  EXPECT_EQ(Channel(1), Range(0, 20, 1000));
}

TEST_F(WaveEdit, PastePrependsAndAppends) {
  LoadFrames(4, 1);
  std::vector<int16_t> a = {-1, -2}, b = {-3};
  int16_t* first[1] = {a.data()};
  int16_t* last[1] = {b.data()};
  ASSERT_EQ(PasteWave(0, first, 2), 1);
  ASSERT_EQ(PasteWave(6, last, 1), 1);
  EXPECT_EQ(Channel(0), (std::vector<int16_t>{-1, -2, 0, 1, 2, 3, -3}));
  EXPECT_GE(TheWave().room[0], 7 + 1000);
}

TEST_F(WaveEdit, OutOfRangeEditsAreRefused) {
  LoadFrames(10, 1);
  std::vector<int16_t> a = {1};
  int16_t* sources[1] = {a.data()};
  int16_t* missing[1] = {nullptr};
  EXPECT_EQ(CutWave(-1, 3), 0);
  EXPECT_EQ(CutWave(5, 4), 0);
  EXPECT_EQ(CutWave(10, 12), 0);
  EXPECT_EQ(PasteWave(-1, sources, 1), 0);
  EXPECT_EQ(PasteWave(11, sources, 1), 0);
  EXPECT_EQ(PasteWave(0, sources, -1), 0);
  EXPECT_EQ(PasteWave(0, nullptr, 1), 0);
  EXPECT_EQ(PasteWave(0, missing, 1), 0);
  EXPECT_EQ(PasteWave(0, sources, 0), 1);
  EXPECT_EQ(Channel(0), Range(0, 10));
}

TEST_F(WaveEdit, InterleavedCopyOfStereoEndsInZeros) {
  LoadFrames(5, 2);
  int16_t* copy = GetDataBuffer(2);
  ASSERT_NE(copy, nullptr);
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(copy[2 * i], i);
    EXPECT_EQ(copy[2 * i + 1], 1000 + i);
  }
  for (int i = 10; i < 4 * 5 + 1000; ++i) ASSERT_EQ(copy[i], 0) << i;
  EXPECT_EQ(GetDataBuffer(3), nullptr);
  EXPECT_EQ(GetDataBuffer(-1), nullptr);
}

TEST_F(WaveEdit, InterleavedCopyOfMonoIsNull) {
  LoadFrames(5, 1);
  EXPECT_EQ(GetDataBuffer(2), nullptr);
}

TEST_F(WaveEdit, SetDataBufferRefusalsChangeNothing) {
  LoadFrames(5, 1);
  const int16_t* before = GetDataBuffer(0);
  std::vector<int16_t> p = {1, 2, 3};
  EXPECT_EQ(SetDataBuffer(0, p.data(), 0), 0);
  EXPECT_EQ(SetDataBuffer(3, p.data(), 10), 0);
  EXPECT_EQ(SetDataBuffer(-1, p.data(), 1), 0);
  EXPECT_EQ(SetDataBuffer(0, nullptr, 3), 0);
  EXPECT_EQ(GetDataBuffer(0), before);
  EXPECT_EQ(Channel(0), Range(0, 5));
  ASSERT_EQ(SetDataBuffer(1, p.data(), 3), 1);
  EXPECT_EQ(GetWaveFileHead()->dataSize, 6u);
  EXPECT_EQ(GetWaveFileHead()->riffSize, 42u);
}

TEST_F(WaveEdit, HeaderOnlyLengthAndChannelChanges) {
  LoadFrames(11, 1);
  SetChannels(2);
  EXPECT_EQ(GetWaveLength(), 5);
  SetChannels(1);
  SetWaveLength(7);
  EXPECT_EQ(GetWaveLength(), 7);
  EXPECT_EQ(Channel(0), Range(0, 7));
  // Lengthened past the arrays: edits stay within what the arrays hold.
  SetWaveLength(1000);
  EXPECT_EQ(TheWave().SafeLength(), 11);
  EXPECT_EQ(CutWave(500, 600), 0);
}

}  // namespace
}  // namespace talvox::test
