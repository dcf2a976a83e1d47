// Damaged WAV files: every read either refuses and keeps the signal, or
// loads a signal whose arrays hold what the header claims.
#include <cstring>
#include <random>

#include "wav_images.h"
#include "wave/wave_buffer.h"

namespace talvox::test {
namespace {

class WavReaderMutation : public DocumentTest {};

TEST_F(WavReaderMutation, DamagedFilesNeverLeadOutsideTheArrays) {
  FmtFields stereo;
  stereo.channels = 2;
  std::vector<int16_t> samples(64);
  for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<int16_t>(i * 1001);
  const std::vector<uint8_t> list = {'I', 'N', 'F', 'O', 'I', 'S', 'F', 'T',
                                     3,   0,   0,   0,   'a', 'b', 'c', 0};
  const auto original =
      Riff({Chunk("LIST", list), FmtChunk(stereo), Chunk("data", SampleBytes(samples))});
  TempDir dir;
  const std::string path = dir.File("m.wav");
  std::mt19937 rng(7);
  for (int round = 0; round < 3000; ++round) {
    std::vector<uint8_t> image = original;
    const int flips = std::uniform_int_distribution<int>(0, 4)(rng);
    for (int f = 0; f < flips; ++f) {
      image[std::uniform_int_distribution<std::size_t>(0, image.size() - 1)(rng)] =
          static_cast<uint8_t>(rng());
    }
    if (rng() % 3 == 0)
      image.resize(std::uniform_int_distribution<std::size_t>(0, image.size())(rng));
    WriteBytes(path, image);
    const TvxWaveHeader before = *GetWaveFileHead();
    int16_t* const channel0 = GetDataBuffer(0);
    if (ReadWaveFile(1, path.c_str(), 0, 0) == 0) {
      ASSERT_EQ(std::memcmp(&before, GetWaveFileHead(), sizeof before), 0) << round;
      ASSERT_EQ(channel0, GetDataBuffer(0)) << round;
    } else {
      const WaveBuffer& wave = TheWave();
      ASSERT_TRUE(wave.header.channels == 1 || wave.header.channels == 2) << round;
      ASSERT_EQ(wave.SafeLength(), wave.Length()) << round;
      ASSERT_EQ(wave.header.dataSize % (2u * wave.header.channels), 0u) << round;
    }
  }
}

}  // namespace
}  // namespace talvox::test
