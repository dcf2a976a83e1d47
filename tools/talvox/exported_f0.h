// The F0 that talvox exports (PitchTier files): one point per voiced
// interval between neighbouring marks, at the interval's first mark, of
// rate / the interval's modified period. Placing the point on the mark lets
// a resynthesis from the exported contour give back the same periods.
#pragma once

#include <vector>

namespace tvx {

struct F0Point {
  double seconds = 0;
  double hertz = 0;
};

// From the document's marks, modified pitch and elements.
std::vector<F0Point> ExportedF0Track(int rate);

}  // namespace tvx
