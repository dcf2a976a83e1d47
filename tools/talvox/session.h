// The library's one document per process, set up and released as a host
// does, and the loading of a WAV file into it with clear errors.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "args.h"
#include "wav_probe.h"

namespace tvx {

class LibrarySession {
 public:
  LibrarySession();
  ~LibrarySession();
  LibrarySession(const LibrarySession&) = delete;
  LibrarySession& operator=(const LibrarySession&) = delete;
  // Forgets the annotation of the previous file (a new document).
  void ResetDocument();
};

struct LoadedWave {
  std::string path;
  WavFormat format;
  int rate = 0;
  int channels = 0;
  int32_t length = 0;  // samples per channel
  double Seconds() const { return rate > 0 ? double(length) / rate : 0.0; }
};

// Reads path into the wave buffer; fails with a one-line reason.
LoadedWave LoadWave(const std::string& path);

// The one input of a command that writes one output: loads it, checks that
// it has the channel, takes the span from --range (the whole file when none
// is given) and fails before any work when outputPath cannot be written.
struct SingleInput {
  LoadedWave wave;
  Span span;
};
SingleInput LoadSingleInput(const Args& args, const std::string& command, int channel,
                            const std::string& outputPath);

// Copies of the channels of the wave buffer (1 or 2).
std::vector<std::vector<int16_t>> CopyChannels(const LoadedWave& wave);

// Replaces the wave buffer's signal with these channels (same count as the
// file had) and writes it as a WAV file through a temporary name.
// The channels are released as soon as the wave buffer holds them.
void WriteWave(const std::string& path, std::vector<std::vector<int16_t>> channels);

}  // namespace tvx
