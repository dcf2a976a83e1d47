// Pitch-synchronous resynthesis of one range of one channel with the
// document's modified pitch, into the document's output signal.
#pragma once

#include <cstdint>

#include "state/document.h"
#include "synthesis/synthesiser.h"
#include "wave/wave_buffer.h"

namespace talvox {

// Output room beyond the range length, for a lowered pitch.
constexpr int32_t kSynthesisHeadroom = 100000;

// Samples start..end-1 of the channel. 0 and nothing changed for
// start >= end, start < 0, end at or past the signal's samples, no elements,
// or a channel other than 0 or 1 or one without samples; else 1.
int32_t SynthesiseRange(DocumentState& doc, const WaveBuffer& wave, const Synthesiser& synth,
                        int32_t channel, int32_t start, int32_t end);

}  // namespace talvox
