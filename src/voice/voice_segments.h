// The element table from the voice tracker's voicing: alternating "SIL" and
// voiced elements covering the whole signal.
#pragma once

#include <cstdint>
#include <vector>

#include "talvox.h"

namespace talvox {

// Voiced elements reach from half a period before the first mark of a run
// of marks to half a period after its last; marks further apart than the
// shortest pause (30 ms) start a new run. Writes the elements into
// elements[0..capacity-1] and returns how many it wrote: voiced elements
// keep the description their slot held, silent ones are "SIL"; they cover exactly 0..length. A signal without voicing is one
// "SIL" element. When the table is full the last element runs to the end.
int32_t VoiceElements(const std::vector<int32_t>& marks, int32_t length, int32_t sampleRate,
                      TvxElement* elements, int32_t capacity);

}  // namespace talvox
