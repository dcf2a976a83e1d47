// In-place radix-2 FFT and the Hann windows shared by analysis and synthesis.
#pragma once

#include <cstdint>

namespace talvox {

// direction 0 forward (unscaled), otherwise inverse (scaled by 1/n).
// Returns 1; n <= 0: no change, 1; n not a power of two: no change, 0.
// Sizes 16 to 65536 take their twiddle factors from per-size tables built
// once on first use (safe to call from several threads at once, on any
// sizes) and run the butterflies in vector lanes; other sizes compute them
// per butterfly. Either way the results are bit for bit those of
// FftPerButterfly.
int32_t Fft(float* re, float* im, int32_t direction, int32_t n);
// Fft without the 8-lane passes (what processors without AVX run); for tests.
int32_t FftFourLanes(float* re, float* im, int32_t direction, int32_t n);
// The same transform computing cos and sin afresh for every butterfly.
int32_t FftPerButterfly(float* re, float* im, int32_t direction, int32_t n);

// x[i] = trunc((0.5 - 0.5 cos(6.28318 i / n)) x[i]); n <= 0 does nothing.
void HanningWindow(int16_t* samples, int32_t n);
// Rising half: weight 0.5 - 0.5 cos(3.14159 i / n).
void HanningRise(int16_t* samples, int32_t n);
// Falling half: weight 0.5 - 0.5 cos((1 - i/n) 3.14159).
void HanningFall(int16_t* samples, int32_t n);

}  // namespace talvox
