// The linear-prediction residual: the signal with its vocal-tract resonances
// removed, where each glottal closure stands out as a sharp pulse.
#pragma once

#include <cstdint>
#include <vector>

namespace talvox {

// Residual of x[0..n-1] (rate in Hz) by autocorrelation LPC of the given
// order on Hann-windowed frames; samples before x[0] count as 0, so give a
// few samples of lead-in.
// residual[t] = x[t] + sum of a[k] x[t - k] over k = 1..order (k <= t), in
// that order, for start <= t < end.
void InverseFilter(const double* x, const double* a, int32_t order, int32_t start, int32_t end,
                   float* residual);

std::vector<float> PredictionResidual(const float* x, int32_t n, double rate, int32_t order);

}  // namespace talvox
