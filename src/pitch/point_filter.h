// Centred moving averages of integer contours (typically pitch), narrowed to
// 16 bits.
#pragma once

#include <cstdint>

namespace talvox {

// Needs window > 0, count >= 0, separate src and dst.
void MovingAverage(const int32_t* src, int32_t* dst, int32_t count, int32_t window);
// MovingAverage over each run of values above 50; everything else becomes 0.
void SmoothVoicedRuns(const int32_t* src, int32_t* dst, int32_t count, int32_t window);

}  // namespace talvox
