// Opening the ALSA PCM "default" for the wave-audio service.
#pragma once

#include <alsa/asoundlib.h>

#include <cstdint>

#include "platform/wave_audio.h"

namespace talvox::platform {

// The ALSA device every wave-audio device is opened on.
constexpr const char* kAlsaDevice = "default";

// Checks the format record: PCM, 8/16/24/32 bits, block align matching.
bool IsPlayableFormat(const WAVEFORMATEX& format);

// Opens kAlsaDevice non-blocking in the given direction and format. On
// success *pcm is set and *periodFrames is the device period.
MMRESULT OpenAlsaPcm(snd_pcm_stream_t stream, const WAVEFORMATEX& format, snd_pcm_t** pcm,
                     int64_t* periodFrames);

}  // namespace talvox::platform
