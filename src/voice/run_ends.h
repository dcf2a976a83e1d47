// Where a voiced run's marks begin and end: the search reaches beyond the
// voiced frames, so the cycles it finds there are kept only when they hold
// a voice, not the fading of one or the noise of the pause.
#pragma once

#include <cstdint>
#include <vector>

#include "voice/closure_path.h"

namespace talvox {

// Drops closures at either end whose pulse is faint beside the run's
// typical pulse (the voice fading in or out); the trimming stops at
// positions keepFrom and keepTo, between which the voice is sure.
void TrimFaintPulses(std::vector<ChosenClosure>& closures, double keepFrom, double keepTo);

// Mean square of the signal in its quietest 10 ms frames (the pauses), or
// 0 where no frames are clearly quieter than the loudest.
double NoiseFloorPower(const int16_t* samples, int32_t length, int32_t sampleRate);

// Drops marks at either end whose cycle holds, above the noise floor, only
// a small share of the run's typical cycle power. A run left with fewer
// than two marks is emptied.
void TrimQuietCycles(const int16_t* samples, int32_t length, int32_t sampleRate,
                     double floorPower, std::vector<int32_t>& marks);

}  // namespace talvox
