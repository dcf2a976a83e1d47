// The F0 the editor draws: one value per mark interval.
#pragma once

#include <cstdint>
#include <vector>

namespace tvx::view {

// F0 in Hz of each interval between neighbouring marks (periods: the
// distance in samples, or the modified pitch), 0 where the interval crosses
// an element boundary, lies in a "SIL" element or is longer than a voice's
// period. The one place that decides where F0 comes from.
std::vector<double> IntervalF0(const std::vector<int32_t>& peaks, const std::vector<int32_t>& periods, int rate);

}  // namespace tvx::view
