// Voiced-region detection: the automatic segmentation into "SIL" and voiced
// elements, and the frame-energy measure it shares with the energy contour.
#pragma once

#include <cstdint>

#include "talvox.h"

namespace talvox {

// Writes alternating "SIL" and voiced elements into elements[0..capacity-1]
// and returns how many it wrote (0 for inputs the filters cannot serve).
int32_t DetectVoicedRegions(const int16_t* samples, int32_t length, TvxElement* elements,
                            int32_t capacity, int32_t sampleRate);

// The second half of DetectVoicedRegions: thresholds from the frame
// energies (hop 16), the region scan and the element writing. 0 when there
// are fewer than 4 frames or no audible one.
int32_t ElementsFromEnergy(const int32_t* energy, int32_t frames, int32_t length,
                           int32_t sampleRate, TvxElement* elements, int32_t capacity);

// One energy per frame (frames every `hop` samples, each summing
// trunc(x*x / window) over up to `window` samples); returns ceil(length/hop).
// energies holds that many entries.
int32_t FrameEnergy(const int16_t* samples, int32_t* energies, int32_t length, int32_t window,
                    int32_t hop);

// Runs DetectVoicedRegions into the document's table while it is not yet
// segmented, then sets the count and the segmentation flag. Used by the two
// pitch-mark calculators.
void SegmentIfNeeded(TvxDocument& doc, const int16_t* samples, int32_t length, int32_t sampleRate);

}  // namespace talvox
