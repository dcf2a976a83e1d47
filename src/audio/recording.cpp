#include "audio/recording.h"

using namespace talvox::platform;

namespace talvox {

int32_t OpenRecording(AudioDevice& audio, uint32_t window, int32_t rate, int32_t channels,
                      int32_t bits) {
  if (audio.recordOpen) {
    // One input device at a time, as for playback.
    waveInReset(audio.input);
    waveInClose(audio.input);
    audio.input = nullptr;
    audio.recordOpen = 0;
  }
  StoreFormat(audio, rate, channels, bits);
  if (waveInOpen(&audio.input, WAVE_MAPPER, &audio.format, window, 0, CALLBACK_WINDOW) !=
      MMSYSERR_NOERROR) {
    ShowError(kCannotOpenRecording);
    audio.input = nullptr;
    audio.recordOpen = 0;
    return 0;
  }
  audio.recordOpen = 1;
  return 1;
}

void QueueRecording(AudioDevice& audio, void* buffer, int32_t length) {
  if (!audio.recordOpen || buffer == nullptr || length <= 0) return;
  FillHeader(audio, buffer, length);
  audio.header.dwBytesRecorded = 0;
  waveInPrepareHeader(audio.input, &audio.header, sizeof audio.header);
  waveInAddBuffer(audio.input, &audio.header, sizeof audio.header);
  waveInStart(audio.input);
}

int32_t RecordingPosition(AudioDevice& audio) {
  if (!audio.recordOpen) return 0;
  MMTIME time{};
  time.wType = TIME_SAMPLES;
  waveInGetPosition(audio.input, &time, sizeof time);
  return SamplesOf(time);
}

int32_t RecordedBytes(const AudioDevice& audio) {
  return static_cast<int32_t>(audio.header.dwBytesRecorded);
}

int32_t StopRecording(AudioDevice& audio) {
  if (!audio.recordOpen) return 1;
  if (waveInReset(audio.input) != MMSYSERR_NOERROR) return 0;
  if (waveInStop(audio.input) != MMSYSERR_NOERROR) return 0;
  if (waveInClose(audio.input) != MMSYSERR_NOERROR) {
    ShowError(kErrorClose);
    return 0;
  }
  audio.input = nullptr;
  audio.recordOpen = 0;
  return 1;
}

void CloseRecording(AudioDevice& audio) {
  if (!audio.recordOpen) return;
  if (waveInReset(audio.input) != MMSYSERR_NOERROR) return;
  if (waveInClose(audio.input) != MMSYSERR_NOERROR) ShowError(kErrorClose);
  audio.input = nullptr;
  audio.recordOpen = 0;
}

}  // namespace talvox
