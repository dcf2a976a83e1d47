#include "audio/playback.h"
#include "audio/recording.h"
#include "talvox.h"

using namespace talvox;

extern "C" {

int32_t PlayOpen(uint32_t window, int32_t rate, int32_t channels, int32_t bits) {
  return OpenPlayback(TheAudioDevice(), window, rate, channels, bits);
}

void PlayData(void* samples, int32_t length) { QueuePlayback(TheAudioDevice(), samples, length); }

int32_t WaveOutGetPosition(void) { return PlaybackPosition(TheAudioDevice()); }

void PlayPause(void) { TogglePause(TheAudioDevice()); }

int32_t PlayStop(void) { return StopPlayback(TheAudioDevice()); }

void PlayClose(void) { ClosePlayback(TheAudioDevice()); }

void FreeWavePlay(void) { CloseDevices(TheAudioDevice()); }

int32_t isSoundOpen(void) { return IsSoundOpen(TheAudioDevice()); }

int32_t RecordOpen(uint32_t window, int32_t rate, int32_t channels, int32_t bits) {
  return OpenRecording(TheAudioDevice(), window, rate, channels, bits);
}

void RecordData(void* buffer, int32_t length) { QueueRecording(TheAudioDevice(), buffer, length); }

int32_t WaveInGetPosition(void) { return RecordingPosition(TheAudioDevice()); }

int32_t GetRecordBytes(void) { return RecordedBytes(TheAudioDevice()); }

int32_t RecordStop(void) { return StopRecording(TheAudioDevice()); }

void RecordClose(void) { CloseRecording(TheAudioDevice()); }

}  // extern "C"
