// A 16-bit PCM WAV file in memory, for the page's audio.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tvx::view {

// frames: interleaved samples of channels channels.
std::string WavBytes(const std::vector<int16_t>& frames, int channels, int rate);

}  // namespace tvx::view
