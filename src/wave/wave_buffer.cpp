#include "wave/wave_buffer.h"

#include <algorithm>
#include <cstring>

#include "state/memory.h"

namespace talvox {

namespace {
constexpr uint32_t kDefaultRate = 16000;
constexpr uint16_t kBitsPerSample = 16;
}  // namespace

WaveBuffer& TheWave() {
  static WaveBuffer wave;
  return wave;
}

int32_t WaveBuffer::Length() const {
  if (header.channels == 0) return 0;
  return static_cast<int32_t>(header.dataSize / (2u * header.channels));
}

int32_t WaveBuffer::SafeLength() const {
  int32_t length = Length();
  int32_t channels = std::min<int32_t>(header.channels, 2);
  for (int32_t c = 0; c < channels; ++c) {
    length = std::min(length, channel[c] ? room[c] : 0);
  }
  return std::max(length, 0);
}

int16_t* WaveBuffer::Channel(int32_t index) const {
  if (index < 0 || index > 1 || index >= header.channels) return nullptr;
  return channel[index];
}

void ResetHeader(TvxWaveHeader& header) {
  std::memcpy(header.riff, "RIFF", 4);
  std::memcpy(header.wave, "WAVE", 4);
  std::memcpy(header.fmt, "fmt ", 4);
  header.fmtSize = 16;
  header.formatTag = 1;
  header.channels = 1;
  header.samplesPerSec = kDefaultRate;
  header.avgBytesPerSec = kDefaultRate * 2;
  header.blockAlign = 2;
  header.bitsPerSample = kBitsPerSample;
  std::memcpy(header.data, "data", 4);
  header.dataSize = 0;
}

void InitWave(WaveBuffer& wave) {
  wave.channel[0] = wave.channel[1] = nullptr;
  wave.room[0] = wave.room[1] = 0;
  wave.interleaved = nullptr;
  wave.interleavedRoom = 0;
  ResetHeader(wave.header);
}

void FreeWave(WaveBuffer& wave) {
  for (int c = 0; c < 2; ++c) {
    Release(wave.channel[c]);
    wave.room[c] = 0;
  }
  Release(wave.interleaved);
  wave.interleavedRoom = 0;
}

void ResizeChannel(WaveBuffer& wave, int32_t index, int32_t samples) {
  samples = std::max(samples, 0);
  int32_t old = wave.channel[index] ? wave.room[index] : 0;
  wave.channel[index] = Reallocate(wave.channel[index], static_cast<std::size_t>(samples));
  if (samples > old) {
    std::memset(wave.channel[index] + old, 0, static_cast<std::size_t>(samples - old) * 2);
  }
  wave.room[index] = samples;
}

void SetLengthField(WaveBuffer& wave, int32_t samples) {
  wave.header.dataSize = static_cast<uint32_t>(samples) * 2u * wave.header.channels;
}

}  // namespace talvox
