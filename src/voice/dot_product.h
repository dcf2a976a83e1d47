// The dot product of the voice tracker's correlations.
#pragma once

#include <cstdint>

namespace talvox {

// Eight running sums keep the adder busy; the order is fixed, so the result
// is the same on every run.
inline double Dot(const float* a, const float* b, int32_t n) {
  float s[8] = {0, 0, 0, 0, 0, 0, 0, 0};
  int32_t k = 0;
  for (; k + 8 <= n; k += 8) {
    for (int32_t j = 0; j < 8; ++j) s[j] += a[k + j] * b[k + j];
  }
  for (; k < n; ++k) s[0] += a[k] * b[k];
  return static_cast<double>((s[0] + s[1]) + (s[2] + s[3])) +
         static_cast<double>((s[4] + s[5]) + (s[6] + s[7]));
}

}  // namespace talvox
