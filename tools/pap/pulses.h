// Glottal pulses from a pitch track: one per period in every voiced stretch.
// From the strongest positive half-wave (largest area) near the stretch's
// middle, each next pulse is found cycle by cycle in both directions: the
// shift (0.75 to 1.3 local periods) at which the current cycle best matches
// the signal says where the next cycle lies, and the pulse goes on the top of
// the strongest positive half-wave near there. The pulses thus follow the
// waveform rather than the frame grid, and sit where the library's snapping
// onto hump areas looks for them.
#pragma once

#include <cstdint>
#include <vector>

#include "pitch_tracker.h"

namespace pap {

// Pulse positions in samples, ascending.
std::vector<int32_t> FindPulses(const std::vector<int16_t>& samples, int sampleRate,
                                const PitchTrack& track);

}  // namespace pap
