// Reading a 16-bit PCM WAV file (mono or stereo, stereo mixed to mono),
// walking its RIFF chunks.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pap {

struct Sound {
  int sampleRate = 0;
  std::vector<int16_t> samples;  // mono
};

// False with a one-line reason in error when the file cannot be used.
bool ReadWav(const std::string& path, Sound& sound, std::string& error);

}  // namespace pap
