// Pitch-synchronous resynthesis whose timing follows a time map instead of
// the grains' own spacing: output marks step by the wanted periods along the
// output time and each takes the grain of the source mark nearest to its
// place mapped back to the source, so grains are repeated or skipped.
// Stretches without marks are time-scaled by overlap-add of short grains.
#pragma once

#include <cstdint>

#include "state/document.h"
#include "synthesis/time_map.h"
#include "wave/wave_buffer.h"

namespace talvox {

// The checks of SynthesiseRange: start < end, start >= 0, end inside the
// signal, at least one element, a channel with samples.
bool SynthesisRangeAccepted(const DocumentState& doc, const WaveBuffer& wave, int32_t channel,
                            int32_t start, int32_t end);

// Samples start..end-1 of the channel (accepted as above), timed by map
// (made for end - start samples), into the document's output signal, whose
// length becomes map.OutputLength(). Returns 1.
int32_t SynthesiseStretched(DocumentState& doc, const WaveBuffer& wave, int32_t channel,
                            int32_t start, int32_t end, const TimeMap& map);

}  // namespace talvox
