// Reduced-rate copies of a signal for the voice tracker.
#pragma once

#include <cstdint>
#include <vector>

namespace talvox {

// Every factor-th sample of samples[0..length-1] after a fourth-order
// Butterworth low-pass at a quarter of the reduced rate and a DC block. Its
// small delay does not matter to F0 and voicing.
std::vector<float> DecimateForPitch(const int16_t* samples, int32_t length, int32_t factor,
                                    double sampleRate);

// Samples first..first+count*factor-1 reduced by factor through a
// linear-phase windowed-sinc low-pass, output k centred exactly on input
// first + k*factor (no delay). Samples outside 0..length-1 count as 0.
// Factor 1 copies.
std::vector<float> DecimateLinearPhase(const int16_t* samples, int32_t length, int64_t first,
                                       int32_t count, int32_t factor);

}  // namespace talvox
