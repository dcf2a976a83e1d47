#include "dsp/fft.h"
#include "talvox.h"

extern "C" {

int32_t fft(float* re, float* im, int32_t direction, int32_t n) {
  if (re == nullptr || im == nullptr) return n <= 0 ? 1 : 0;
  return talvox::Fft(re, im, direction, n);
}

void Hanning(int16_t* samples, int32_t n) { talvox::HanningWindow(samples, n); }

}  // extern "C"
