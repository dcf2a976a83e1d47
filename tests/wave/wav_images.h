// Building WAV file images chunk by chunk for the reader tests.
#pragma once

#include <cstdint>
#include <vector>

#include "test_support.h"

namespace talvox::test {

struct FmtFields {
  uint16_t tag = 1;
  uint16_t channels = 1;
  uint32_t rate = 16000;
  uint16_t bits = 16;
  uint32_t size = 16;        // 16, 18 or 40 bytes of fmt body
  bool pcmSubFormat = true;  // for the extensible tag
};

inline std::vector<uint8_t> FmtChunk(const FmtFields& f) {
  std::vector<uint8_t> out;
  PutTag(out, "fmt ");
  PutU32(out, f.size);
  const uint16_t align = static_cast<uint16_t>(f.channels * f.bits / 8);
  PutU16(out, f.tag);
  PutU16(out, f.channels);
  PutU32(out, f.rate);
  PutU32(out, f.rate * align);
  PutU16(out, align);
  PutU16(out, f.bits);
  if (f.size >= 18) PutU16(out, static_cast<uint16_t>(f.size - 18));
  if (f.size == 40) {
    PutU16(out, f.bits);                   // valid bits
    PutU32(out, f.channels == 1 ? 4 : 3);  // speaker mask
    const uint8_t pcm[16] = {1, 0, 0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
    const uint8_t other[16] = {3, 0, 0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
    const uint8_t* guid = f.pcmSubFormat ? pcm : other;
    out.insert(out.end(), guid, guid + 16);
  }
  return out;
}

inline std::vector<uint8_t> Chunk(const char* tag, const std::vector<uint8_t>& body,
                                  uint32_t claimedSize) {
  std::vector<uint8_t> out;
  PutTag(out, tag);
  PutU32(out, claimedSize);
  out.insert(out.end(), body.begin(), body.end());
  if (body.size() % 2 == 1) out.push_back(0);  // pad byte
  return out;
}

inline std::vector<uint8_t> Chunk(const char* tag, const std::vector<uint8_t>& body) {
  return Chunk(tag, body, static_cast<uint32_t>(body.size()));
}

inline std::vector<uint8_t> SampleBytes(const std::vector<int16_t>& samples) {
  std::vector<uint8_t> out;
  for (int16_t s : samples) PutU16(out, static_cast<uint16_t>(s));
  return out;
}

// "RIFF" size "WAVE" followed by the chunks in the order given.
inline std::vector<uint8_t> Riff(const std::vector<std::vector<uint8_t>>& chunks) {
  std::vector<uint8_t> body;
  PutTag(body, "WAVE");
  for (const auto& c : chunks) body.insert(body.end(), c.begin(), c.end());
  std::vector<uint8_t> out;
  PutTag(out, "RIFF");
  PutU32(out, static_cast<uint32_t>(body.size()));
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

inline std::vector<uint8_t> CanonicalWav(const std::vector<int16_t>& samples, uint16_t channels,
                                         uint32_t rate) {
  FmtFields f;
  f.channels = channels;
  f.rate = rate;
  return Riff({FmtChunk(f), Chunk("data", SampleBytes(samples))});
}

}  // namespace talvox::test
