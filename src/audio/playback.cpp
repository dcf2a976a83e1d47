#include "audio/playback.h"

using namespace talvox::platform;

namespace talvox {

int32_t OpenPlayback(AudioDevice& audio, uint32_t window, int32_t rate, int32_t channels,
                     int32_t bits) {
  if (audio.playOpen) {
    // One output device at a time: the earlier one would otherwise be lost
    // with its worker still running.
    waveOutReset(audio.output);
    waveOutClose(audio.output);
    audio.output = nullptr;
    audio.playOpen = 0;
  }
  StoreFormat(audio, rate, channels, bits);
  if (waveOutOpen(&audio.output, WAVE_MAPPER, &audio.format, window, 0, CALLBACK_WINDOW) !=
      MMSYSERR_NOERROR) {
    ShowError(kCannotOpenPlayback);
    audio.output = nullptr;
    audio.playOpen = 0;
    return 0;
  }
  audio.playOpen = 1;
  audio.paused = 0;
  return 1;
}

void QueuePlayback(AudioDevice& audio, void* samples, int32_t length) {
  if (!audio.playOpen || samples == nullptr || length <= 0) return;
  FillHeader(audio, samples, length);
  waveOutPrepareHeader(audio.output, &audio.header, sizeof audio.header);
  waveOutWrite(audio.output, &audio.header, sizeof audio.header);
}

int32_t PlaybackPosition(AudioDevice& audio) {
  if (!audio.playOpen) return 0;
  MMTIME time{};
  time.wType = TIME_SAMPLES;
  waveOutGetPosition(audio.output, &time, sizeof time);
  return SamplesOf(time);
}

void TogglePause(AudioDevice& audio) {
  if (!audio.playOpen) return;
  if (audio.paused == 1) {
    waveOutRestart(audio.output);
    audio.paused = 0;
  } else {
    waveOutPause(audio.output);
    audio.paused = 1;
  }
}

int32_t StopPlayback(AudioDevice& audio) {
  if (!audio.playOpen) return 1;
  if (waveOutReset(audio.output) != MMSYSERR_NOERROR) return 0;
  if (waveOutClose(audio.output) != MMSYSERR_NOERROR) {
    ShowError(kErrorClose);
    return 0;
  }
  audio.output = nullptr;
  audio.playOpen = 0;
  return 1;
}

void ClosePlayback(AudioDevice& audio) {
  if (!audio.playOpen) return;
  if (waveOutReset(audio.output) != MMSYSERR_NOERROR) return;
  if (waveOutClose(audio.output) != MMSYSERR_NOERROR) ShowError(kErrorClose);
  audio.output = nullptr;
  audio.playOpen = 0;
}

void CloseDevices(AudioDevice& audio) {
  if (audio.playOpen == 1) waveOutClose(audio.output);
  if (audio.recordOpen == 1) waveInClose(audio.input);
}

int32_t IsSoundOpen(const AudioDevice& audio) {
  return audio.playOpen != 0 || audio.recordOpen != 0 ? 1 : 0;
}

}  // namespace talvox
