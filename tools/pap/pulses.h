// Glottal pulses from a pitch track: one per period in every voiced stretch,
// each on the waveform's highest peak where the previous cycle, shifted by
// about one local period, matches the signal best. Working cycle by cycle,
// the pulses follow the waveform rather than the frame grid.
#pragma once

#include <cstdint>
#include <vector>

#include "pitch_tracker.h"

namespace pap {

// Pulse positions in samples, ascending.
std::vector<int32_t> FindPulses(const std::vector<int16_t>& samples, int sampleRate,
                                const PitchTrack& track);

}  // namespace pap
