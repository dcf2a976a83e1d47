#include <algorithm>

#include "pitch/voiced_regions.h"

namespace talvox {

int32_t FrameEnergy(const int16_t* samples, int32_t* energies, int32_t length, int32_t window,
                    int32_t hop) {
  if (samples == nullptr || energies == nullptr || length <= 0 || window <= 0 || hop <= 0) return 0;
  const int32_t frames = length / hop + (length % hop != 0);
  for (int32_t f = 0; f < frames; ++f) {
    const int32_t start = f * hop;
    const int32_t stop = start + std::min(window, length - start);
    int32_t sum = 0;
    for (int32_t i = start; i < stop; ++i) {
      const int32_t x = samples[i];
      sum += x * x / window;
    }
    energies[f] = sum;
  }
  return frames;
}

}  // namespace talvox
