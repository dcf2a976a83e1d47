// Loading a tag or peak file into the host's buffers, leaving the document
// alone.
#pragma once

#include <cstdint>

#include "talvox.h"

namespace talvox {

// Counts a file may announce: the host's buffers are sized like the
// document's tables.
constexpr int32_t kMaxTagPeaks = 100000;
constexpr int32_t kMaxTagElements = 10000;

// 1 for a kind 2 or 3 file within those limits, else 0 with nothing written.
int32_t LoadTagFile(const char* path, int32_t* peaks, int32_t* peakCount, TvxElement* elements,
                    int32_t* elementCount);

}  // namespace talvox
