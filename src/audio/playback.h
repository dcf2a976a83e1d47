// Playback of host buffers through the wave-audio output service.
#pragma once

#include <cstdint>

#include "audio/audio_device.h"

namespace talvox {

int32_t OpenPlayback(AudioDevice& audio, uint32_t window, int32_t rate, int32_t channels,
                     int32_t bits);
void QueuePlayback(AudioDevice& audio, void* samples, int32_t length);
int32_t PlaybackPosition(AudioDevice& audio);
void TogglePause(AudioDevice& audio);
int32_t StopPlayback(AudioDevice& audio);
void ClosePlayback(AudioDevice& audio);
// Closes both devices at shut-down without reset; handles and flags stay.
void CloseDevices(AudioDevice& audio);
int32_t IsSoundOpen(const AudioDevice& audio);

}  // namespace talvox
