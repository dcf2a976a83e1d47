// Positions moved by an edit. Peaks and element bounds read from a file may
// hold any 32-bit value, so shifting them by a cut or pasted length must not
// overflow: peak positions and the distances between them wrap in 32 bits
// (as the peak-file reader's distances do); element bounds saturate, so an
// element never turns inside out.
#pragma once

#include <algorithm>
#include <cstdint>
#include <limits>

namespace talvox {

inline int32_t Wrapped(int64_t value) {
  return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(value)));
}

inline int32_t Distance(int32_t to, int32_t from) { return Wrapped(int64_t{to} - from); }

inline int32_t Saturated(int64_t value) {
  return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

}  // namespace talvox
