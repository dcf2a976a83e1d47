#include "wave/wave_edit.h"

#include <algorithm>
#include <cstring>

#include "state/memory.h"

namespace talvox {

namespace {
// Room left behind a paste so that a following small paste does not move
// the block again.
constexpr int32_t kPasteSlack = 1000;

void SetRiffSize(WaveBuffer& wave) { wave.header.riffSize = wave.header.dataSize + 36; }
}  // namespace

int16_t* BuildInterleaved(WaveBuffer& wave) {
  if (wave.ChannelCount() != 2 || !wave.channel[0] || !wave.channel[1]) return nullptr;
  int32_t length = wave.SafeLength();
  int32_t room = 4 * length + kPasteSlack;
  wave.interleaved = Reallocate(wave.interleaved, static_cast<std::size_t>(room));
  wave.interleavedRoom = room;
  std::memset(wave.interleaved, 0, static_cast<std::size_t>(room) * 2);
  for (int32_t i = 0; i < length; ++i) {
    wave.interleaved[2 * i] = wave.channel[0][i];
    wave.interleaved[2 * i + 1] = wave.channel[1][i];
  }
  return wave.interleaved;
}

int32_t ReplaceChannels(WaveBuffer& wave, int32_t index, const int16_t* samples, int32_t count) {
  if (count <= 0 || samples == nullptr || index < 0 || index > 2) return 0;
  if (index == 2 && count > INT32_MAX / 4) return 0;
  if (index < 2 && count > INT32_MAX / 2) return 0;
  if (index < 2) {
    ResizeChannel(wave, index, count);
    std::memcpy(wave.channel[index], samples, static_cast<std::size_t>(count) * 2);
    wave.header.dataSize = static_cast<uint32_t>(count) * 2u;
  } else {
    ResizeChannel(wave, 0, count);
    ResizeChannel(wave, 1, count);
    for (int32_t i = 0; i < count; ++i) {
      wave.channel[0][i] = samples[2 * i];
      wave.channel[1][i] = samples[2 * i + 1];
    }
    wave.header.dataSize = static_cast<uint32_t>(count) * 4u;
  }
  SetRiffSize(wave);
  return 1;
}

int32_t CutSamples(WaveBuffer& wave, int32_t start, int32_t end) {
  int32_t length = wave.SafeLength();
  if (start < 0 || start > end || start >= length) return 0;
  int32_t channels = std::min<int32_t>(wave.ChannelCount(), 2);
  int32_t kept;
  if (end >= length - 1) {
    kept = start;
  } else {
    kept = length - (end - start + 1);
    for (int32_t c = 0; c < channels; ++c) {
      std::memmove(wave.channel[c] + start, wave.channel[c] + end + 1,
                   static_cast<std::size_t>(length - end - 1) * 2);
    }
  }
  SetLengthField(wave, kept);
  return 1;
}

int32_t PasteSamples(WaveBuffer& wave, int32_t position, int16_t* const* sources, int32_t count) {
  int32_t length = wave.SafeLength();
  int32_t channels = std::min<int32_t>(wave.ChannelCount(), 2);
  if (position < 0 || position > length || count < 0 || sources == nullptr || channels < 1) return 0;
  for (int32_t c = 0; c < channels; ++c) {
    if (sources[c] == nullptr && count > 0) return 0;
  }
  if (count == 0) return 1;
  if (count > (INT32_MAX / 4) - kPasteSlack - length) return 0;
  for (int32_t c = 0; c < channels; ++c) {
    ResizeChannel(wave, c, length + count + kPasteSlack);
    std::memmove(wave.channel[c] + position + count, wave.channel[c] + position,
                 static_cast<std::size_t>(length - position) * 2);
    std::memcpy(wave.channel[c] + position, sources[c], static_cast<std::size_t>(count) * 2);
  }
  SetLengthField(wave, length + count);
  return 1;
}

}  // namespace talvox
