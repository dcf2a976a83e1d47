// Collecting segmented speech: the elements overlapping a range of one
// channel, one after another, each "SIL" element shortened to half its
// length of silence, gaps between elements left out.
#pragma once

#include <cstdint>

#include "state/document.h"
#include "wave/wave_buffer.h"

namespace talvox {

// Into the document's output signal. Each piece is clipped to its element
// (and the range), so a range reaching beyond the segmentation adds nothing
// for the stretch no element covers. 0 and nothing changed for start >= end,
// start < 0, end at or past the signal's samples, no elements, a channel
// other than 0 or 1 or one without samples, or no element overlapping.
int32_t CollectSegments(DocumentState& doc, const WaveBuffer& wave, int32_t channel, int32_t start,
                        int32_t end);

}  // namespace talvox
