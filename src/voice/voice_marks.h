// One pitch mark per glottal cycle, at the cycle's main excitation (the
// glottal closure), whatever the polarity, level and rate of the signal.
#pragma once

#include <cstdint>
#include <vector>

#include "voice/voice_track.h"

namespace talvox {

// Marks of samples[0..length-1], ascending and distinct, within 0..length-1,
// for the voiced runs of track.
std::vector<int32_t> VoiceMarks(const int16_t* samples, int32_t length, int32_t sampleRate,
                                const VoiceTrack& track);

}  // namespace talvox
