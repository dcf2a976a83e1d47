#include "features/spectrum_levels.h"

#include <algorithm>
#include <cmath>

#include "features/spectrogram.h"

namespace talvox {

namespace {
uint32_t Bits(float f) {
  uint32_t u;
  std::memcpy(&u, &f, sizeof u);
  return u;
}

float FromBits(uint32_t u) {
  float f;
  std::memcpy(&f, &u, sizeof f);
  return f;
}
}  // namespace

SpectrumLevels::SpectrumLevels() {
  // Positive floats order as their bit patterns, and the byte never falls as
  // the power rises, so each threshold is found by bisection.
  const uint32_t low = Bits(kLowestStep), high = Bits(kHighestStep);
  threshold_[0] = 0.0f;
  for (int32_t v = 1; v <= kLargestByte; ++v) {
    uint32_t a = low, b = high;
    while (a < b) {
      const uint32_t m = a + (b - a) / 2;
      if (SpectrumByte(FromBits(m)) >= v) {
        b = m;
      } else {
        a = m + 1;
      }
    }
    threshold_[v] = FromBits(a);
  }
  threshold_[kLargestByte + 1] = INFINITY;
  firstBucket_ = low >> kBucketShift;
  const uint32_t buckets = (high >> kBucketShift) - firstBucket_ + 1;
  bucketByte_.resize(buckets);
  for (uint32_t k = 0; k < buckets; ++k) {
    const uint32_t lowest = std::max(low, (firstBucket_ + k) << kBucketShift);
    bucketByte_[k] = SpectrumByte(FromBits(lowest));
  }
}

const SpectrumLevels& TheSpectrumLevels() {
  static const SpectrumLevels levels;
  return levels;
}

}  // namespace talvox
