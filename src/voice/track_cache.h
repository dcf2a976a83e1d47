// The voice track of the last signal tracked, kept for the next request of
// the same signal and range: a host that asks for the marks and then for
// the F0 of one recording pays for one tracker pass, not two.
#pragma once

#include <cstdint>

#include "voice/voice_track.h"

namespace talvox {

// TrackVoice's result, from the cache when the samples (by content), length,
// rate and range are those of the last call. Safe to call from several
// threads.
VoiceTrack CachedTrackVoice(const int16_t* samples, int32_t length, int32_t sampleRate,
                            float floorHz, float ceilingHz);

}  // namespace talvox
