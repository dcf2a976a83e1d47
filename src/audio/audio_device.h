// The audio device state shared by playback and recording: the format of
// the last open, the device format record, the one buffer header through
// which host buffers go to a device, the two handles and the flags.
#pragma once

#include <cstdint>

#include "platform/wave_audio.h"

namespace talvox {

constexpr const char* kErrorCaption = "Error";
constexpr const char* kCannotOpenPlayback = "Cannot Open the Audio Device";
constexpr const char* kCannotOpenRecording = "Cannot Open the Record Audio Device";
constexpr const char* kErrorClose = "Error Close...";

struct AudioDevice {
  uint16_t bitsPerSample = 0;
  platform::HWAVEOUT output = nullptr;
  platform::HWAVEIN input = nullptr;
  int32_t samplesPerSec = 0;
  int32_t playOpen = 0;
  int32_t recordOpen = 0;
  uint16_t channels = 0;
  platform::WAVEFORMATEX format{};
  platform::WAVEHDR header{};
  int32_t paused = 0;
};

AudioDevice& TheAudioDevice();

// Stores the format values and fills the format record; bytes per sample is
// bits / 8 truncated, so 12 bits count as one byte.
void StoreFormat(AudioDevice& audio, int32_t rate, int32_t channels, int32_t bits);

// Hands one host buffer to the header: data, length, flags and loops.
void FillHeader(AudioDevice& audio, void* buffer, int32_t length);

// The sample count of a position answer; 0 when the service answered in
// another time format (or not at all).
int32_t SamplesOf(const platform::MMTIME& time);

void ShowError(const char* text);

}  // namespace talvox
