// Snapping a position onto the signal: the largest sample or a zero crossing
// near it. Both work on one channel's samples[0..length-1] and never look
// outside it.
#pragma once

#include <cstdint>

namespace talvox {

// First position of the largest sample in the window before and after
// position; position itself when the window's first sample stays the best
// or position < 11. The caller has checked 0 <= ... position < length.
int32_t ClosedMaximum(const int16_t* samples, int32_t length, int32_t position);
// The farthest zero crossing within 10 samples on each side, the nearer side
// winning (the left one on ties); position itself when there is none, when
// position < 11 or position > length - 10.
int32_t ClosedZeroCrossing(const int16_t* samples, int32_t length, int32_t position);

// A search window [first, last] clipped to the samples 0..length-1; empty
// (first > last) when nothing of it lies inside.
struct SampleWindow {
  int64_t first;
  int64_t last;
};
SampleWindow ClipToSignal(int64_t first, int64_t last, int32_t length);

}  // namespace talvox
