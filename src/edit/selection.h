// A selection of samples for the speech edits: two positions in either
// order, both included, checked against the signal and the segmentation.
#pragma once

#include <cstdint>

#include "talvox.h"
#include "wave/wave_buffer.h"

namespace talvox {

// Spectrum frame f starts at sample 16 f.
constexpr int32_t kSamplesPerSpectrumFrame = 16;

struct Selection {
  int32_t from = 0;
  int32_t to = 0;
  int32_t length = 0;      // to - from + 1
  int32_t firstFrame = 0;  // from / 16
  int32_t lastFrame = 0;   // to / 16
};

// Channels the edits work on: 1 or 2, else 0 (a signal they refuse).
int32_t EditChannels(const WaveBuffer& wave);

// Fills selection and returns true when a != b, both positions are samples of
// the signal (every channel holding them) and both lie in an element, in
// order; else false.
bool SelectRange(const TvxDocument& doc, const WaveBuffer& wave, int32_t a, int32_t b,
                 Selection& selection);

}  // namespace talvox
