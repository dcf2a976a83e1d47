// The loaded signal: canonical header plus one sample array per channel.
#pragma once

#include <cstdint>

#include "talvox.h"

namespace talvox {

struct WaveBuffer {
  int16_t* interleaved = nullptr;
  int32_t interleavedRoom = 0;  // samples allocated in interleaved
  TvxWaveHeader header{};
  int16_t* channel[2] = {nullptr, nullptr};
  int32_t room[2] = {0, 0};  // samples allocated in each channel array

  // Samples per channel as the header says: data size / (2 x channels).
  int32_t Length() const;
  // Samples per channel that every channel in use really holds: the header
  // length clipped to the arrays' room. All library code that walks the
  // channel arrays uses this, so a header changed by SetWaveLength or
  // SetChannels can never lead outside the arrays.
  int32_t SafeLength() const;
  // Channel array `index` (0 or 1) if it exists and the signal has that
  // channel, else null.
  int16_t* Channel(int32_t index) const;
  int32_t ChannelCount() const { return header.channels; }
};

WaveBuffer& TheWave();

void ResetHeader(TvxWaveHeader& header);
void InitWave(WaveBuffer& wave);
void FreeWave(WaveBuffer& wave);
// Resizes channel array `index` to exactly `samples` entries (new ones zero).
void ResizeChannel(WaveBuffer& wave, int32_t index, int32_t samples);
// data size := samples x 2 x channels.
void SetLengthField(WaveBuffer& wave, int32_t samples);

}  // namespace talvox
