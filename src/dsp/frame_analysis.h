// Frame analyses for the host: the real cepstrum and critical-band cepstral
// coefficients, both on a transform size picked from 2, 4, 16, 256, 65536.
#pragma once

#include <cstdint>

namespace talvox {

constexpr int32_t kLargestFrame = 65536;
constexpr int32_t kMfccBands = 20;

// The first member of 2, 4, 16, 256, 65536 (each the square of the one
// before) at or above n; 0 when n is above 65536 (no member serves it).
int32_t AnalysisTransformSize(int32_t n);

struct BandBins {
  int32_t lo, mid, hi;
};
// Bins of the edges and centre of a band for transform size n at the rate
// (truncated); rate must be positive.
BandBins MfccBandBins(int32_t band, int32_t n, int32_t rate);

// Writes `length` magnitudes; values past the transform size are 0.
// Needs 13 <= n <= 65536 and length > 0.
void RealCepstrum(const int16_t* frame, int32_t n, int32_t length, float* output);
// Writes coefficients 1..length. Needs 20 <= n <= 65536, length > 0, rate > 0.
void MfccCoefficients(const int16_t* frame, int32_t n, int32_t rate, int32_t length, float* output);

}  // namespace talvox
