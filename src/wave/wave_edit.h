// Signal-only edits and raw access on the wave buffer.
#pragma once

#include <cstdint>

#include "wave/wave_buffer.h"

namespace talvox {

// Interleaved copy of a two-channel signal; null for one channel.
int16_t* BuildInterleaved(WaveBuffer& wave);
int32_t ReplaceChannels(WaveBuffer& wave, int32_t index, const int16_t* samples, int32_t count);
int32_t CutSamples(WaveBuffer& wave, int32_t start, int32_t end);
int32_t PasteSamples(WaveBuffer& wave, int32_t position, int16_t* const* sources, int32_t count);

}  // namespace talvox
