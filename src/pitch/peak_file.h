// Peak files: the document's peaks, modified pitch and elements on disk.
#pragma once

#include <cstdint>

#include "talvox.h"

namespace talvox {

// Writes a kind 3 file from state through a temporary file; 1, or 0 with an
// existing file left as it was.
int32_t SavePeakFile(const char* path, const TvxDocument* state);
// Loads a kind 3 or 2 file into state after checking all of it; 1, or 0
// with state unchanged (another kind changes only the peak rate).
int32_t ReadPeakFile(const char* path, TvxDocument* state);

}  // namespace talvox
