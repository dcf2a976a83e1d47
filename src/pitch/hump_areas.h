// Humps: maximal runs of samples above 0. Each hump is marked at its first
// largest sample and weighed by its area, the sum of trunc(sample / 10) kept
// as the low 16 bits of the sum read as signed (a large hump wraps).
#pragma once

#include <cstdint>

namespace talvox {

// Walks a signal sample by sample (possibly in pieces) and reports every hump
// as it ends: onHump(position, area). Call Finish() after the last sample so
// that a hump reaching the end of the signal is reported too.
class HumpScanner {
 public:
  template <typename OnHump>
  void Feed(int32_t position, int32_t value, OnHump&& onHump) {
    if (value > 0) {
      if (!inHump_ || value > maximum_) {
        maximum_ = value;
        position_ = position;
      }
      inHump_ = true;
      // Unsigned so that a sum past 2^31 wraps instead of overflowing; only
      // the low 16 bits are kept anyway.
      area_ += static_cast<uint32_t>(value / kAreaDivisor);
    } else if (inHump_) {
      End(onHump);
    }
  }

  template <typename OnHump>
  void Finish(OnHump&& onHump) {
    if (inHump_) End(onHump);
  }

 private:
  static constexpr int32_t kAreaDivisor = 10;

  template <typename OnHump>
  void End(OnHump&& onHump) {
    onHump(position_, static_cast<int16_t>(static_cast<uint16_t>(area_)));
    inHump_ = false;
    area_ = 0;
  }

  bool inHump_ = false;
  int32_t maximum_ = 0;
  int32_t position_ = 0;
  uint32_t area_ = 0;
};

// Writes the area of every hump of samples[0..length-1] at the hump's
// position into areas[0..length-1]; every other entry becomes 0.
void HumpAreas(const int16_t* samples, int32_t length, int16_t* areas);

}  // namespace talvox
