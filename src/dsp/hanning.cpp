#include <cmath>

#include "dsp/fft.h"

namespace talvox {

namespace {
// The window constants are short of full precision; the weights depend on them.
constexpr double kWindowTwoPi = 6.28318;
constexpr double kHalfWindowPi = 3.14159;

// Weights never exceed 1, so the truncated product always fits a sample.
inline int16_t Weigh(double weight, int16_t sample) {
  return static_cast<int16_t>(weight * sample);
}
}  // namespace

void HanningWindow(int16_t* samples, int32_t n) {
  if (samples == nullptr) return;
  for (int32_t i = 0; i < n; ++i) {
    samples[i] = Weigh(0.5 - 0.5 * std::cos(kWindowTwoPi * i / n), samples[i]);
  }
}

void HanningRise(int16_t* samples, int32_t n) {
  if (samples == nullptr) return;
  for (int32_t i = 0; i < n; ++i) {
    samples[i] = Weigh(0.5 - 0.5 * std::cos(kHalfWindowPi * i / n), samples[i]);
  }
}

void HanningFall(int16_t* samples, int32_t n) {
  if (samples == nullptr) return;
  for (int32_t i = 0; i < n; ++i) {
    const double fraction = static_cast<double>(i) / n;
    samples[i] = Weigh(0.5 - 0.5 * std::cos((1 - fraction) * kHalfWindowPi), samples[i]);
  }
}

}  // namespace talvox
