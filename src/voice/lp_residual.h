// The linear-prediction residual: the signal with its vocal-tract resonances
// removed, where each glottal closure stands out as a sharp pulse.
#pragma once

#include <cstdint>
#include <vector>

namespace talvox {

// Residual of x[0..n-1] (rate in Hz) by autocorrelation LPC of the given
// order on Hann-windowed frames; samples before x[0] count as 0, so give a
// few samples of lead-in.
std::vector<float> PredictionResidual(const float* x, int32_t n, double rate, int32_t order);

}  // namespace talvox
