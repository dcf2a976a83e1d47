// The overlap-add synthesiser: grains cut pitch-synchronously from a source
// signal, tapered by half Hann windows and summed at new mark positions.
// The object keeps no state; one instance lives for the whole process.
#pragma once

#include <cstdint>

#include "synthesis/half_window_cache.h"

namespace talvox {

// Marks of one synthesis, all measured from the range start.
struct GrainMarks {
  const int32_t* source;  // ascending source marks within 0..regionLength
  const int64_t* placed;  // where each grain's mark lands in the output
  int32_t count;
};

class Synthesiser {
 public:
  // Copies left + right samples from source into destination, raises the
  // first `left` with the rising half window and lowers the following
  // `right` with the falling one. Returns left + right.
  int32_t BuildGrain(int16_t* destination, const int16_t* source, int32_t left, int32_t right,
                     HalfWindowCache& windows) const;

  // Overlap-adds one grain per mark into output and returns the output
  // length: the last placed mark plus the stretch after the last source
  // mark, clipped to 0..room. Grain samples outside that length are
  // dropped. Sums are clamped to 32766 / -32767. scratch holds the longest
  // grain (the largest distance between neighbouring source marks, the
  // range ends counted as marks).
  int32_t OverlapAddGrains(int16_t* output, int32_t room, const GrainMarks& marks,
                           const int16_t* source, int32_t regionLength, int16_t* scratch,
                           HalfWindowCache& windows) const;
};

const Synthesiser& TheSynthesiser();

}  // namespace talvox
