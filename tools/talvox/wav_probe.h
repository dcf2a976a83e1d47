// A look at a file's RIFF header before the library reads it, so that a file
// the library refuses gets a precise reason (and a way to convert it).
#pragma once

#include <cstdint>
#include <string>

namespace tvx {

struct WavFormat {
  uint16_t formatTag = 0;      // 1 PCM, 3 float, 0xFFFE extensible
  uint16_t subFormat = 0;      // for extensible: the sub-format's tag
  uint16_t channels = 0;
  uint32_t rate = 0;
  uint16_t bits = 0;
  uint64_t dataBytes = 0;      // as present in the file
  uint64_t fileBytes = 0;
  std::string Describe() const;  // "16-bit PCM, 16000 Hz, mono"
  bool IsPcm() const;
};

// Reads the format of a WAV file; fails with a clear one-line reason for a
// missing, empty, unreadable or non-WAV file.
WavFormat ProbeWav(const std::string& path);

// Fails unless the library can read the format (16-bit PCM, 1 or 2
// channels), naming the sox command that converts it.
void RequireReadableFormat(const std::string& path, const WavFormat& format);

}  // namespace tvx
