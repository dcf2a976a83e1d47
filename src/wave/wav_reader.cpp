// WAV reading: the RIFF chunks are walked and checked in full before the
// wave buffer is touched, so a refused file leaves the signal as it was.
#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/input_file.h"
#include "state/memory.h"
#include "wave/wav_file.h"

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__,
              "samples are read and written as little-endian memory images");

namespace talvox {

namespace {

constexpr int64_t kRiffHeaderBytes = 12;  // "RIFF", size, "WAVE"
constexpr int64_t kChunkHeaderBytes = 8;  // tag, size
constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kFormatExtensible = 0xFFFE;
constexpr uint32_t kPlainFmtBytes = 16;
constexpr uint32_t kFmtWithExtraBytes = 18;
constexpr uint32_t kExtensibleFmtBytes = 40;
// Sub-format of an extensible fmt chunk that means integer PCM.
constexpr uint8_t kPcmSubFormat[16] = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                       0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
constexpr int64_t kSubFormatOffset = 24;  // within the fmt chunk body

uint32_t U32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t{p[3]} << 24; }
uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

struct WavLayout {
  TvxWaveHeader header{};
  int64_t dataOffset = 0;
};

// Fills header's format fields from a fmt chunk body; false for anything
// but 16-bit PCM of 1 or 2 channels.
bool ReadFormat(const uint8_t* body, uint32_t size, TvxWaveHeader& header) {
  if (size != kPlainFmtBytes && size != kFmtWithExtraBytes && size != kExtensibleFmtBytes) {
    return false;
  }
  uint16_t tag = U16(body);
  if (tag == kFormatExtensible) {
    if (size != kExtensibleFmtBytes ||
        std::memcmp(body + kSubFormatOffset, kPcmSubFormat, sizeof kPcmSubFormat) != 0) {
      return false;
    }
  } else if (tag != kFormatPcm) {
    return false;
  }
  header.channels = U16(body + 2);
  header.samplesPerSec = U32(body + 4);
  header.avgBytesPerSec = U32(body + 8);
  header.blockAlign = U16(body + 12);
  header.bitsPerSample = U16(body + 14);
  return header.bitsPerSample == 16 && (header.channels == 1 || header.channels == 2);
}

// Walks the chunks; the first fmt and the first data chunk count. A data
// chunk claiming more than the file holds is cut to the whole frames present.
bool FindLayout(const InputFile& file, WavLayout& layout) {
  uint8_t riff[kRiffHeaderBytes];
  if (file.size() < kRiffHeaderBytes || !file.ReadAt(0, riff, sizeof riff)) return false;
  if (std::memcmp(riff, "RIFF", 4) != 0 || std::memcmp(riff + 8, "WAVE", 4) != 0) return false;

  bool haveFormat = false;
  bool haveData = false;
  uint32_t claimedData = 0;
  int64_t position = kRiffHeaderBytes;
  while (position + kChunkHeaderBytes <= file.size() && !(haveFormat && haveData)) {
    uint8_t chunk[kChunkHeaderBytes];
    if (!file.ReadAt(position, chunk, sizeof chunk)) return false;
    uint32_t size = U32(chunk + 4);
    int64_t body = position + kChunkHeaderBytes;
    if (!haveFormat && std::memcmp(chunk, "fmt ", 4) == 0) {
      uint8_t format[kExtensibleFmtBytes];
      if (size > sizeof format || body + size > file.size() || !file.ReadAt(body, format, size)) {
        return false;
      }
      if (!ReadFormat(format, size, layout.header)) return false;
      haveFormat = true;
    } else if (!haveData && std::memcmp(chunk, "data", 4) == 0) {
      layout.dataOffset = body;
      claimedData = static_cast<uint32_t>(std::min<int64_t>(size, file.size() - body));
      haveData = true;
    }
    // Chunks are padded to an even size.
    position = body + size + (size & 1u);
  }
  if (!haveFormat || !haveData) return false;
  uint32_t frameBytes = 2u * layout.header.channels;
  layout.header.dataSize = claimedData / frameBytes * frameBytes;
  return true;
}

void FillCanonical(TvxWaveHeader& header) {
  std::memcpy(header.riff, "RIFF", 4);
  std::memcpy(header.wave, "WAVE", 4);
  std::memcpy(header.fmt, "fmt ", 4);
  header.fmtSize = kPlainFmtBytes;
  header.formatTag = kFormatPcm;
  std::memcpy(header.data, "data", 4);
  header.riffSize = header.dataSize + 36;
}

// Interleaved frames read a block at a time and split into the two channel
// arrays, so reading holds little more than the samples themselves.
constexpr int32_t kSplitBlockFrames = 1 << 15;

bool ReadSplit(const InputFile& file, int64_t offset, int32_t frames, int16_t* const channel[2]) {
  std::vector<int16_t> block(2 * static_cast<std::size_t>(std::min(frames, kSplitBlockFrames)));
  for (int32_t done = 0; done < frames;) {
    const int32_t count = std::min(kSplitBlockFrames, frames - done);
    const std::size_t bytes = 2 * sizeof(int16_t) * static_cast<std::size_t>(count);
    const int64_t at = offset + int64_t{done} * 2 * int64_t{sizeof(int16_t)};
    if (!file.ReadAt(at, block.data(), bytes)) return false;
    for (int32_t i = 0; i < count; ++i) {
      channel[0][done + i] = block[2 * static_cast<std::size_t>(i)];
      channel[1][done + i] = block[2 * static_cast<std::size_t>(i) + 1];
    }
    done += count;
  }
  return true;
}

}  // namespace

int32_t ReadWav(WaveBuffer& wave, const char* path) {
  InputFile file(path);
  if (!file.ok() || file.size() == 0 || file.size() >= kMaxInputBytes) return 0;
  WavLayout layout;
  if (!FindLayout(file, layout)) return 0;
  FillCanonical(layout.header);

  const int32_t channels = layout.header.channels;
  const int32_t frames = static_cast<int32_t>(layout.header.dataSize / (2u * channels));
  const std::size_t bytes = layout.header.dataSize;
  // New arrays are filled first and swapped in only after the read succeeded.
  int16_t* fresh[2] = {nullptr, nullptr};
  bool read;
  if (channels == 1) {
    fresh[0] = Reallocate<int16_t>(nullptr, static_cast<std::size_t>(frames));
    read = bytes == 0 || file.ReadAt(layout.dataOffset, fresh[0], bytes);
  } else {
    fresh[0] = Reallocate<int16_t>(nullptr, static_cast<std::size_t>(frames));
    fresh[1] = Reallocate<int16_t>(nullptr, static_cast<std::size_t>(frames));
    read = ReadSplit(file, layout.dataOffset, frames, fresh);
  }
  if (!read) {
    Release(fresh[0]);
    Release(fresh[1]);
    return 0;
  }
  for (int c = 0; c < 2; ++c) {
    Release(wave.channel[c]);
    wave.channel[c] = fresh[c];
    wave.room[c] = fresh[c] ? frames : 0;
  }
  wave.header = layout.header;
  return 1;
}

int32_t ReadRaw(WaveBuffer& wave, const char* path, int32_t rate, int32_t bits) {
  InputFile file(path);
  if (!file.ok() || file.size() == 0 || file.size() >= kMaxInputBytes) return 0;
  const auto bytes = static_cast<std::size_t>(file.size());
  // An odd last byte still gets a whole (zero-padded) sample of room.
  const auto samples = static_cast<int32_t>((bytes + 1) / 2);
  int16_t* fresh = Reallocate<int16_t>(nullptr, static_cast<std::size_t>(samples));
  fresh[samples - 1] = 0;
  if (!file.ReadAt(0, fresh, bytes)) {
    Release(fresh);
    return 0;
  }
  Release(wave.channel[0]);
  wave.channel[0] = fresh;
  wave.room[0] = samples;

  TvxWaveHeader& header = wave.header;
  const auto blockAlign = static_cast<uint16_t>(bits / 8);
  header.samplesPerSec = static_cast<uint32_t>(rate);
  header.blockAlign = blockAlign;
  header.avgBytesPerSec = static_cast<uint32_t>(rate) * blockAlign;
  header.channels = 1;
  header.formatTag = kFormatPcm;
  header.bitsPerSample = static_cast<uint16_t>(bits);
  header.dataSize = static_cast<uint32_t>(bytes);
  return 1;
}

}  // namespace talvox
