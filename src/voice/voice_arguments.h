// The argument checks shared by the voice-analysis exports.
#pragma once

#include <cmath>
#include <cstdint>

namespace talvox {

constexpr int32_t kLowestVoiceRate = 4000;
constexpr int32_t kHighestVoiceRate = 384000;

// Null samples, length <= 0, a rate outside 4000..384000, negative or
// non-finite limits, or floor >= ceiling (both 0 means "from the signal").
inline bool VoiceArgumentsValid(const int16_t* samples, int32_t length, int32_t sampleRate,
                                float floorHz, float ceilingHz) {
  if (samples == nullptr || length <= 0) return false;
  if (sampleRate < kLowestVoiceRate || sampleRate > kHighestVoiceRate) return false;
  if (!std::isfinite(floorHz) || !std::isfinite(ceilingHz)) return false;
  if (floorHz < 0 || ceilingHz < 0) return false;
  if (floorHz == 0 && ceilingHz == 0) return true;
  return floorHz < ceilingHz;
}

}  // namespace talvox
