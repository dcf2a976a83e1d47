// Conversions from floating point to 16-bit samples: truncation toward zero,
// then the low 16 bits of the integer (the sample wraps, it is not clamped).
#pragma once

#include <cmath>
#include <cstdint>

namespace talvox {

inline int16_t WrapToSample(double value) {
  // Values no integer can hold (not a number, beyond 2^63) have no low 16
  // bits; they become 0 instead of undefined behaviour.
  if (!(std::fabs(value) < 9.2e18)) return 0;
  return static_cast<int16_t>(static_cast<uint16_t>(static_cast<int64_t>(value)));
}

}  // namespace talvox
