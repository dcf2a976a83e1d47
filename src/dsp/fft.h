// In-place radix-2 FFT and the Hann windows shared by analysis and synthesis.
#pragma once

#include <cstdint>

namespace talvox {

// direction 0 forward (unscaled), otherwise inverse (scaled by 1/n).
// Returns 1; n <= 0: no change, 1; n not a power of two: no change, 0.
int32_t Fft(float* re, float* im, int32_t direction, int32_t n);

// x[i] = trunc((0.5 - 0.5 cos(6.28318 i / n)) x[i]); n <= 0 does nothing.
void HanningWindow(int16_t* samples, int32_t n);
// Rising half: weight 0.5 - 0.5 cos(3.14159 i / n).
void HanningRise(int16_t* samples, int32_t n);
// Falling half: weight 0.5 - 0.5 cos((1 - i/n) 3.14159).
void HanningFall(int16_t* samples, int32_t n);

}  // namespace talvox
