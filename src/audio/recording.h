// Recording into host buffers through the wave-audio input service.
#pragma once

#include <cstdint>

#include "audio/audio_device.h"

namespace talvox {

int32_t OpenRecording(AudioDevice& audio, uint32_t window, int32_t rate, int32_t channels,
                      int32_t bits);
void QueueRecording(AudioDevice& audio, void* buffer, int32_t length);
int32_t RecordingPosition(AudioDevice& audio);
int32_t RecordedBytes(const AudioDevice& audio);
int32_t StopRecording(AudioDevice& audio);
void CloseRecording(AudioDevice& audio);

}  // namespace talvox
