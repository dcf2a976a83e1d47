// The spectrum byte of a power without a logarithm per bin: the bytes step
// up at 255 fixed powers, found once from SpectrumByte itself, so a lookup
// gives exactly its byte (a test compares every float of the range).
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

namespace talvox {

class SpectrumLevels {
 public:
  SpectrumLevels();

  // SpectrumByte(power).
  uint8_t Byte(float power) const {
    if (!(power >= kLowestStep)) return 0;  // also NaN, as SpectrumByte
    if (power > kHighestStep) return kLargestByte;
    uint32_t bits;
    std::memcpy(&bits, &power, sizeof bits);
    const uint8_t base = bucketByte_[(bits >> kBucketShift) - firstBucket_];
    return static_cast<uint8_t>(base + (power >= threshold_[base + 1]));
  }

 private:
  static constexpr int32_t kLargestByte = 255;
  // Below the first threshold every byte is 0, above the last 255.
  static constexpr float kLowestStep = 999000.0f;
  static constexpr float kHighestStep = 2.5e12f;
  // Buckets of one float exponent and 11 leading mantissa bits: 0.002 dB
  // wide, far inside a quarter-decibel step, so a bucket holds at most one
  // threshold.
  static constexpr int kBucketShift = 12;

  float threshold_[kLargestByte + 2];  // smallest power of each byte; +inf past 255
  std::vector<uint8_t> bucketByte_;    // byte at each bucket's lowest power
  uint32_t firstBucket_ = 0;
};

// Built on first use (thread-safe).
const SpectrumLevels& TheSpectrumLevels();

}  // namespace talvox
