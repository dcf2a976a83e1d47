// The wave-audio service on Linux, built on ALSA: every device is the PCM
// "default", opened non-blocking, with a worker thread of its own that plays
// or fills the host's buffers in place and posts the notifications.
#pragma once

#include "platform/wave_audio.h"

namespace talvox::platform {

WaveService& TheAlsaWaveService();

}  // namespace talvox::platform
