// Reading and writing WAV and headerless raw sample files for the wave buffer.
#pragma once

#include <cstdint>

#include "wave/wave_buffer.h"

namespace talvox {

// Files this large or larger are refused: lengths are signed 32-bit.
constexpr int64_t kMaxInputBytes = int64_t{1} << 31;

// A WAV file (16-bit PCM, 1 or 2 channels) into the wave buffer. 1, or 0
// with the buffer untouched.
int32_t ReadWav(WaveBuffer& wave, const char* path);
// A headerless file of 16-bit mono samples described by rate and bits.
int32_t ReadRaw(WaveBuffer& wave, const char* path, int32_t rate, int32_t bits);
// Writes the signal (mode 1-4, any other mode an empty file); 1 when the
// file is complete, else 0 with no file left behind.
int32_t SaveWav(WaveBuffer& wave, int32_t mode, const char* path, int32_t start, int32_t count);

}  // namespace talvox
