// The F0 that talvox exports (PitchTier files): the voiced frames of the
// voice tracker's F0 track, each at its frame centre. One function, so what
// the files carry is decided in one place.
#pragma once

#include <vector>

namespace tvx {

struct F0Track;

struct F0Point {
  double seconds = 0;
  double hertz = 0;
};

std::vector<F0Point> ExportedF0Track(const F0Track& track, int rate);

}  // namespace tvx
