// WAV and raw writing through a temporary file renamed into place.
#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/atomic_file.h"
#include "wave/wav_file.h"

namespace talvox {

namespace {

enum SaveMode : int32_t { kWholeWav = 1, kWholeRaw = 2, kRangeWav = 3, kRangeRawChannel0 = 4 };

// Frames interleaved per block when writing two channels.
constexpr int64_t kFramesPerBlock = 1 << 16;

// Writes frames first..first+frames-1 of the signal's channels as file data;
// frames beyond what the arrays hold are written as zeros.
void WriteFrames(AtomicFile& out, const WaveBuffer& wave, int32_t channels, int64_t first,
                 int64_t frames) {
  const int64_t held = std::clamp<int64_t>(wave.SafeLength() - first, 0, frames);
  if (channels == 1) {
    out.Write(wave.channel[0] + first, static_cast<std::size_t>(held) * 2);
  } else {
    std::vector<int16_t> block(static_cast<std::size_t>(std::min(held, kFramesPerBlock)) * 2);
    for (int64_t done = 0; done < held;) {
      const int64_t part = std::min(held - done, kFramesPerBlock);
      const int16_t* left = wave.channel[0] + first + done;
      const int16_t* right = wave.channel[1] + first + done;
      for (int64_t i = 0; i < part; ++i) {
        block[2 * i] = left[i];
        block[2 * i + 1] = right[i];
      }
      out.Write(block.data(), static_cast<std::size_t>(part) * 4);
      done += part;
    }
  }
  out.WriteZeros(static_cast<std::size_t>(frames - held) * 2 * channels);
}

// The whole signal's data: data-size bytes, as many of them samples as the
// arrays hold (a mono signal may end in half a sample after a raw read).
void WriteWholeData(AtomicFile& out, const WaveBuffer& wave, int32_t channels) {
  const int64_t dataBytes = wave.header.dataSize;
  int64_t written;
  if (channels == 1) {
    const int64_t held = std::min<int64_t>(dataBytes, wave.channel[0] ? wave.room[0] * 2 : 0);
    out.Write(wave.channel[0], static_cast<std::size_t>(held));
    written = held;
  } else {
    const int64_t frames = wave.Length();
    WriteFrames(out, wave, channels, 0, frames);
    written = frames * 4;
  }
  out.WriteZeros(static_cast<std::size_t>(dataBytes - written));
}

void WriteHeader(AtomicFile& out, const TvxWaveHeader& header) {
  out.Write(&header, sizeof header);
}

}  // namespace

int32_t SaveWav(WaveBuffer& wave, int32_t mode, const char* path, int32_t start, int32_t count) {
  const int32_t channels = wave.ChannelCount();
  const bool signalMode = mode >= kWholeWav && mode <= kRangeRawChannel0;
  // Only two channel arrays exist: another channel count has no layout.
  if (signalMode && channels != 1 && channels != 2) return 0;
  if (mode == kRangeWav || mode == kRangeRawChannel0) {
    if (start < 0 || count < 0 || int64_t{start} + count > wave.SafeLength()) return 0;
  }

  AtomicFile out(path);
  switch (mode) {
    case kWholeWav:
      wave.header.riffSize = wave.header.dataSize + 36;
      WriteHeader(out, wave.header);
      WriteWholeData(out, wave, channels);
      break;
    case kWholeRaw:
      WriteWholeData(out, wave, channels);
      break;
    case kRangeWav: {
      TvxWaveHeader header = wave.header;
      header.dataSize = static_cast<uint32_t>(count) * 2u * static_cast<uint32_t>(channels);
      header.riffSize = header.dataSize + 36;
      WriteHeader(out, header);
      WriteFrames(out, wave, channels, start, count);
      break;
    }
    case kRangeRawChannel0:
      WriteFrames(out, wave, 1, start, count);
      break;
    default:
      break;  // an empty file
  }
  return out.Commit() ? 1 : 0;
}

}  // namespace talvox
