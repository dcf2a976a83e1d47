// The dot product of the voice tracker's correlations.
#pragma once

#include <cstdint>
#include <cstring>

namespace talvox {

namespace dot_lanes {
using Floats8 = float __attribute__((vector_size(32)));

// Eight running sums keep the adder busy; the order is fixed, so the result
// is the same on every run. Lane j sums a[k + j] * b[k + j] for k = 0, 8,
// 16, ...; the tail goes to lane 0.
__attribute__((always_inline)) inline double Sum(const float* a, const float* b, int32_t n) {
  Floats8 s = {};
  int32_t k = 0;
  for (; k + 8 <= n; k += 8) {
    Floats8 x, y;
    std::memcpy(&x, a + k, sizeof x);
    std::memcpy(&y, b + k, sizeof y);
    s += x * y;
  }
  float first = s[0];
  for (; k < n; ++k) first += a[k] * b[k];
  return static_cast<double>((first + s[1]) + (s[2] + s[3])) +
         static_cast<double>((s[4] + s[5]) + (s[6] + s[7]));
}

// The same sums as eight scalars, which the compiler keeps in two narrow
// registers (faster there than the wide vector split in two).
inline double NarrowSum(const float* a, const float* b, int32_t n) {
  float s[8] = {0, 0, 0, 0, 0, 0, 0, 0};
  int32_t k = 0;
  for (; k + 8 <= n; k += 8) {
    for (int32_t j = 0; j < 8; ++j) s[j] += a[k + j] * b[k + j];
  }
  for (; k < n; ++k) s[0] += a[k] * b[k];
  return static_cast<double>((s[0] + s[1]) + (s[2] + s[3])) +
         static_cast<double>((s[4] + s[5]) + (s[6] + s[7]));
}

// The eight lanes in one register where the processor has them.
__attribute__((target("avx"))) inline double WideSum(const float* a, const float* b, int32_t n) {
  return Sum(a, b, n);
}

inline bool HasAvx() {
  static const bool avx = __builtin_cpu_supports("avx");
  return avx;
}
}  // namespace dot_lanes

inline double Dot(const float* a, const float* b, int32_t n) {
  return dot_lanes::HasAvx() ? dot_lanes::WideSum(a, b, n) : dot_lanes::NarrowSum(a, b, n);
}

}  // namespace talvox
