// The modified pitch the editor draws: one F0 per mark interval (the
// source F0 is the voice tracker's, see f0_tracker.h).
#pragma once

#include <cstdint>
#include <vector>

namespace tvx::view {

// F0 in Hz of each interval between neighbouring marks (periods: the
// distance in samples, or the modified pitch), 0 where the interval crosses
// an element boundary, lies in a "SIL" element or is longer than a voice's
// period.
std::vector<double> IntervalF0(const std::vector<int32_t>& peaks, const std::vector<int32_t>& periods, int rate);

}  // namespace tvx::view
