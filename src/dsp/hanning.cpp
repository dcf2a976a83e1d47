#include <cmath>
#include <vector>

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

double HannWeight(int32_t i, int32_t n) { return 0.5 - 0.5 * std::cos(kWindowTwoPi * i / n); }

// Frame analyses window many frames of one length in a row: the weights of
// the last length are kept per thread (the same doubles, computed once).
constexpr int32_t kLargestCachedWindow = 65536;

const std::vector<double>& HannWeights(int32_t n) {
  thread_local std::vector<double> weights;
  if (static_cast<int32_t>(weights.size()) != n) {
    weights.resize(n);
    for (int32_t i = 0; i < n; ++i) weights[i] = HannWeight(i, n);
  }
  return weights;
}
}  // namespace

void HanningWindow(int16_t* samples, int32_t n) {
  if (samples == nullptr || n <= 0) return;
  if (n > kLargestCachedWindow) {
    for (int32_t i = 0; i < n; ++i) samples[i] = Weigh(HannWeight(i, n), samples[i]);
    return;
  }
  const std::vector<double>& weights = HannWeights(n);
  for (int32_t i = 0; i < n; ++i) samples[i] = Weigh(weights[i], samples[i]);
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
