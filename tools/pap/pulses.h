// Glottal pulses of a sound: the library's voice marks, one per glottal
// cycle at its main excitation, within the pitch track's range.
#pragma once

#include <cstdint>
#include <vector>

#include "pitch_tracker.h"

namespace pap {

// Pulse positions in samples, ascending.
std::vector<int32_t> FindPulses(const std::vector<int16_t>& samples, int sampleRate,
                                const PitchTrack& track);

}  // namespace pap
