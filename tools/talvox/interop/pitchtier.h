// PitchTier files: (time, F0 in Hz) points, long or short text format.
#pragma once

#include <string>
#include <vector>

#include "oo_text_writer.h"

namespace tvx::interop {

struct PitchPoint {
  double time = 0;
  double hertz = 0;
  int line = 0;       // of the time
  int valueLine = 0;  // of the frequency
};

struct PitchTier {
  double xmin = 0, xmax = 0;
  std::vector<PitchPoint> points;
};

// Throws FormatError for a malformed file, times that do not ascend or lie
// outside the tier, and frequencies that are not positive.
PitchTier ParsePitchTier(const std::string& utf8);
std::string WritePitchTier(const PitchTier& tier, TextFormat format);

}  // namespace tvx::interop
