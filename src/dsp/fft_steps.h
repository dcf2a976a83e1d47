// Pieces shared by the table-driven transform and the per-butterfly
// reference: the short 2 pi, the size checks and the bit-reversal order.
#pragma once

#include <cstdint>

namespace talvox {

// The transform's value of 2 pi, short of full precision: results depend on it.
constexpr double kFftTwoPi = 6.2831854;

inline bool IsPowerOfTwo(int32_t n) { return n > 0 && (n & (n - 1)) == 0; }

// log2 n, counted by halving.
inline int32_t HalvingCount(int32_t n) {
  int32_t m = 0;
  for (int32_t k = n; k > 1; k /= 2) ++m;
  return m;
}

inline int32_t ReverseBits(int32_t value, int32_t bits) {
  int32_t reversed = 0;
  for (int32_t b = 0; b < bits; ++b) {
    reversed = (reversed << 1) | (value & 1);
    value >>= 1;
  }
  return reversed;
}

// The butterfly's angle for group count `groups` and index k, evaluated
// exactly as written (left to right in double); tables must hold the cos and
// sin of this very value.
inline double TwiddleAngle(int32_t groups, int32_t k, int32_t n) {
  return kFftTwoPi * groups * k / n;
}

}  // namespace talvox
