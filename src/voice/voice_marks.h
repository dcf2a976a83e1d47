// One pitch mark per glottal cycle, at the cycle's main excitation (the
// glottal closure), whatever the polarity, level and rate of the signal.
#pragma once

#include <cstdint>
#include <vector>

#include "voice/voice_track.h"

namespace talvox {

// The factor by which a voiced run is reduced for its residual: to no more
// than 6 kHz, or for a high voice to as many as 30 samples per period of
// the run's median F0, up to 8 kHz; at least 1.
int32_t MarkReductionFactor(const VoiceTrack& track, const FrameRun& run, int32_t sampleRate);

// Marks of samples[0..length-1], ascending and distinct, within 0..length-1,
// for the voiced runs of track.
std::vector<int32_t> VoiceMarks(const int16_t* samples, int32_t length, int32_t sampleRate,
                                const VoiceTrack& track);

}  // namespace talvox
