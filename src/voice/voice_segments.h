// The element table from the voice tracker's voicing: alternating "SIL" and
// voiced elements covering the whole signal.
#pragma once

#include <cstdint>

#include "talvox.h"
#include "voice/voice_track.h"

namespace talvox {

// Writes the elements into elements[0..capacity-1] and returns how many it
// wrote: voiced elements keep the description their slot held, silent ones
// are "SIL"; they cover exactly 0..length. A signal without voicing is one
// "SIL" element. When the table is full the last element runs to the end.
int32_t VoiceElements(const VoiceTrack& track, int32_t length, TvxElement* elements,
                      int32_t capacity);

}  // namespace talvox
