#include "platform/alsa_pcm.h"

#include <mutex>

namespace talvox::platform {

namespace {

// Latency asked of ALSA: short enough for pause to feel immediate on a
// card, long enough to ride out scheduling hiccups.
constexpr unsigned kLatencyMicroseconds = 100000;

// ALSA prints its diagnostics on standard error; failures reach the host as
// result codes and message boxes instead.
void QuietAlsa(const char*, int, const char*, int, const char*, ...) {}

void SilenceAlsaDiagnostics() {
  static std::once_flag once;
  std::call_once(once, [] { snd_lib_error_set_handler(QuietAlsa); });
}

snd_pcm_format_t AlsaFormat(uint16_t bits) {
  switch (bits) {
    case 8:
      return SND_PCM_FORMAT_U8;
    case 16:
      return SND_PCM_FORMAT_S16_LE;
    case 24:
      return SND_PCM_FORMAT_S24_3LE;
    case 32:
      return SND_PCM_FORMAT_S32_LE;
    default:
      return SND_PCM_FORMAT_UNKNOWN;
  }
}

}  // namespace

bool IsPlayableFormat(const WAVEFORMATEX& format) {
  return format.wFormatTag == WAVE_FORMAT_PCM && format.nChannels > 0 &&
         format.nSamplesPerSec > 0 && AlsaFormat(format.wBitsPerSample) != SND_PCM_FORMAT_UNKNOWN &&
         format.nBlockAlign == format.nChannels * (format.wBitsPerSample / 8);
}

MMRESULT OpenAlsaPcm(snd_pcm_stream_t stream, const WAVEFORMATEX& format, snd_pcm_t** pcm,
                     int64_t* periodFrames) {
  if (!IsPlayableFormat(format)) return WAVERR_BADFORMAT;
  SilenceAlsaDiagnostics();
  snd_pcm_t* opened = nullptr;
  if (snd_pcm_open(&opened, kAlsaDevice, stream, SND_PCM_NONBLOCK) < 0) return MMSYSERR_NODRIVER;
  snd_pcm_uframes_t bufferSize = 0;
  snd_pcm_uframes_t periodSize = 0;
  if (snd_pcm_set_params(opened, AlsaFormat(format.wBitsPerSample), SND_PCM_ACCESS_RW_INTERLEAVED,
                         format.nChannels, format.nSamplesPerSec, 1, kLatencyMicroseconds) < 0 ||
      snd_pcm_get_params(opened, &bufferSize, &periodSize) < 0 || periodSize == 0) {
    snd_pcm_close(opened);
    return WAVERR_BADFORMAT;
  }
  *pcm = opened;
  *periodFrames = static_cast<int64_t>(periodSize);
  return MMSYSERR_NOERROR;
}

}  // namespace talvox::platform
