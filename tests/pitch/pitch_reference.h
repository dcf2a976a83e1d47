// Plain re-computations of the pitch pipelines for exact comparison: the
// filter cascade sample by sample, the frame energy by its definition.
#pragma once

#include <cstdint>
#include <vector>

#include "dsp/filters.h"
#include "dsp/sample_cast.h"

namespace talvox::test {

// The filter recurrence on its own delay state (starts at zero, as the
// library's after ResetFilterState).
struct ReferenceFilter {
  double w0[10] = {}, w1[10] = {}, w2[10] = {};
  void Run(std::vector<int16_t>& x, int order, double gain, const double* a, const double* b) {
    const int h = order / 2;
    for (auto& sample : x) {
      w0[0] = sample * gain;
      for (int j = 0; j < h; ++j) {
        w0[j + 1] = w0[j] + 2 * w1[j] + w2[j] - a[j] * w1[j + 1] - b[j] * w2[j + 1];
      }
      sample = WrapToSample(w0[h]);
      for (int j = 0; j <= h; ++j) {
        w2[j] = w1[j];
        w1[j] = w0[j];
      }
    }
  }
  // Low-pass of order 6 at cutoff over a copy.
  std::vector<int16_t> LowPass(std::vector<int16_t> x, int rate, double cutoff) {
    double a[10], b[10];
    const double gain = ButterworthLowPass(rate, 6, cutoff, a, b);
    Run(x, 6, gain, a, b);
    return x;
  }
};

inline std::vector<int32_t> ReferenceEnergy(const std::vector<int16_t>& x, int32_t window) {
  const int32_t n = static_cast<int32_t>(x.size());
  std::vector<int32_t> out;
  for (int32_t start = 0; start < n; start += 16) {
    int32_t sum = 0;
    for (int32_t k = start; k < start + window && k < n; ++k) sum += x[k] * x[k] / window;
    out.push_back(sum);
  }
  return out;
}

}  // namespace talvox::test
