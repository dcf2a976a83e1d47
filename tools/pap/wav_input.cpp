#include "wav_input.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

namespace pap {

namespace {

using File = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

uint32_t U32(const unsigned char* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}
uint16_t U16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

struct Format {
  bool seen = false;
  uint16_t tag = 0, channels = 0, bits = 0;
  uint32_t rate = 0;
};

bool ReadFormat(std::FILE* file, uint32_t size, Format& format) {
  unsigned char block[16];
  if (size < 16 || std::fread(block, 1, 16, file) != 16) return false;
  format.seen = true;
  format.tag = U16(block);
  format.channels = U16(block + 2);
  format.rate = U32(block + 4);
  format.bits = U16(block + 14);
  return size == 16 || std::fseek(file, static_cast<long>(size - 16 + (size & 1)), SEEK_CUR) == 0;
}

// Reads frames of 16-bit samples; a data chunk cut short by the end of the
// file keeps the whole frames present.
void ReadFrames(std::FILE* file, uint32_t size, int channels, std::vector<int16_t>& out) {
  const std::size_t frameBytes = 2 * static_cast<std::size_t>(channels);
  std::size_t frames = size / frameBytes;
  // A size field larger than the file (streamed files say 0xFFFFFFFF) only
  // reserves what the file can hold.
  long here = std::ftell(file);
  if (here >= 0 && std::fseek(file, 0, SEEK_END) == 0) {
    long end = std::ftell(file);
    std::fseek(file, here, SEEK_SET);
    if (end >= here) frames = std::min(frames, static_cast<std::size_t>(end - here) / frameBytes);
  }
  out.reserve(frames);
  std::vector<unsigned char> block(frameBytes * 16384);
  while (frames > 0) {
    std::size_t want = std::min<std::size_t>(frames, 16384);
    std::size_t got = std::fread(block.data(), frameBytes, want, file);
    for (std::size_t f = 0; f < got; ++f) {
      const unsigned char* p = block.data() + f * frameBytes;
      int32_t sum = 0;
      for (int c = 0; c < channels; ++c) sum += static_cast<int16_t>(U16(p + 2 * c));
      out.push_back(static_cast<int16_t>(sum / channels));
    }
    if (got < want) break;
    frames -= got;
  }
}

}  // namespace

bool ReadWav(const std::string& path, Sound& sound, std::string& error) {
  File file(std::fopen(path.c_str(), "rb"), std::fclose);
  if (!file) {
    error = "cannot open " + path;
    return false;
  }
  unsigned char riff[12];
  if (std::fread(riff, 1, 12, file.get()) != 12 || std::memcmp(riff, "RIFF", 4) != 0 ||
      std::memcmp(riff + 8, "WAVE", 4) != 0) {
    error = path + ": not a WAV file";
    return false;
  }
  Format format;
  unsigned char chunk[8];
  while (std::fread(chunk, 1, 8, file.get()) == 8) {
    uint32_t size = U32(chunk + 4);
    if (std::memcmp(chunk, "fmt ", 4) == 0) {
      if (!ReadFormat(file.get(), size, format)) break;
    } else if (std::memcmp(chunk, "data", 4) == 0) {
      if (!format.seen || format.tag != 1 || format.bits != 16 || format.channels < 1 ||
          format.channels > 2 || format.rate == 0 || format.rate > 1000000) {
        error = path + ": not a 16-bit PCM WAV file with one or two channels";
        return false;
      }
      sound.sampleRate = static_cast<int>(format.rate);
      sound.samples.clear();
      ReadFrames(file.get(), size, format.channels, sound.samples);
      return true;
    } else if (std::fseek(file.get(), static_cast<long>(size) + (size & 1), SEEK_CUR) != 0) {
      break;
    }
  }
  error = path + ": no usable format and data chunks";
  return false;
}

}  // namespace pap
