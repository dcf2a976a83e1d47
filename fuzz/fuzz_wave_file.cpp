// ReadWaveFile on arbitrary bytes, as a WAV file (mode 1) and as a raw
// sample file. A refusal leaves the wave buffer exactly as it was; an
// acceptance leaves a length consistent with the arrays, and the signal read
// comes back unchanged through SaveWaveFile and a second read.
#include <cstdint>
#include <cstring>

#include "fuzz_support.h"
#include "talvox.h"

namespace {

using talvox::fuzz::Check;

void CheckRoundTrip() {
  const TvxWaveHeader header = *GetWaveFileHead();
  const int32_t length = GetWaveLength();
  const int channels = GetChannels();
  std::vector<int16_t> before[2];
  for (int c = 0; c < channels; ++c) {
    if (length > 0) before[c].assign(GetDataBuffer(c), GetDataBuffer(c) + length);
  }
  const std::string copy = talvox::fuzz::PrivatePath("copy.wav");
  Check(SaveWaveFile(1, copy.c_str(), 0, 0) == 1, "saving what was read failed");
  Check(ReadWaveFile(1, copy.c_str(), 0, 0) == 1, "reading back a saved file failed");
  Check(std::memcmp(GetWaveFileHead(), &header, sizeof header) == 0,
        "header changed by a round trip");
  for (int c = 0; c < channels && length > 0; ++c) {
    Check(std::memcmp(GetDataBuffer(c), before[c].data(), before[c].size() * 2) == 0,
          "samples changed by a round trip");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  talvox::fuzz::SetUpSampleDocument();
  std::string path = talvox::fuzz::WriteInput(data, size, "input.wav");

  talvox::fuzz::WaveSnapshot before = talvox::fuzz::SnapshotWave();
  if (ReadWaveFile(1, path.c_str(), 0, 0) == 1) {
    talvox::fuzz::CheckWaveInvariants();
    Check(GetWaveFileHead()->dataSize % (2u * GetChannels()) == 0, "data size not whole frames");
    Check(GetWaveFileHead()->riffSize == GetWaveFileHead()->dataSize + 36, "RIFF size");
    Check(GetChannels() == 2 || GetDataBuffer(1) == nullptr, "a mono read kept channel 1");
    int16_t* interleaved = GetDataBuffer(2);
    Check(GetChannels() == 2 ? interleaved != nullptr || GetWaveLength() == 0
                             : interleaved == nullptr,
          "interleaved copy");
    CheckRoundTrip();
  } else {
    talvox::fuzz::CheckWaveUnchanged(before);
  }

  // Raw: the file's bytes are the samples, whatever they hold.
  before = talvox::fuzz::SnapshotWave();
  if (ReadWaveFile(0, path.c_str(), 8000, 16) == 1) {
    Check(size > 0, "an empty raw file was accepted");
    Check(GetWaveFileHead()->dataSize == size, "raw data size");
    Check(GetChannels() == 1 && GetSamplesPerSec() == 8000 && GetBlockAlign() == 2, "raw header");
    Check(std::memcmp(GetDataBuffer(0), data, size) == 0, "raw samples differ from the file");
    talvox::fuzz::CheckWaveInvariants();
  } else {
    Check(size == 0, "a raw file was refused");
    talvox::fuzz::CheckWaveUnchanged(before);
  }
  FreeTalvox();
  FreeWaveFileProc();
  return 0;
}
