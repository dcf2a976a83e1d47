// Marks moved to the same phase of every cycle, for grains that are
// repeated, skipped or respaced: a mark route may place neighbouring marks
// a tenth of a period apart in phase, which overlap-add turns into a rough,
// less periodic voice.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace talvox {

// A run of marks each closer than longestPeriod to the one before:
// the indices of its first and last mark.
struct PeriodRun {
  size_t first = 0;
  size_t last = 0;
};
std::vector<PeriodRun> PeriodRuns(const std::vector<int32_t>& at, int32_t longestPeriod);

// Within each run of marks closer than longestPeriod (and for which keep is
// false), every mark after the first moves, by at most a share of the local
// period, to where its cycle best matches the cycle of the mark before it
// (normalised cross-correlation of one period around each), where that
// match is good; marks stay ascending. source holds length samples, at the
// marks (ascending positions in it); keep[k] holds for the run containing
// mark k.
std::vector<int32_t> AlignCycles(const int16_t* source, int32_t length,
                                 const std::vector<int32_t>& at, const std::vector<bool>& keep,
                                 int32_t longestPeriod);

}  // namespace talvox
