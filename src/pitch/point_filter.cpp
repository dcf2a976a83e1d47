#include "pitch/point_filter.h"

#include <algorithm>

namespace talvox {

namespace {
// Values above this are voiced; the rest are gaps in the contour.
constexpr int32_t kVoicedThreshold = 50;
}  // namespace

void MovingAverage(const int32_t* src, int32_t* dst, int32_t count, int32_t window) {
  const int32_t h = window / 2;
  // The sum is exact in 64 bits; the quotient keeps its low 16 bits.
  int64_t sum = 0;
  for (int32_t i = 0; i < count; ++i) {
    if (i < h || i >= count - h) {
      dst[i] = src[i];
      continue;
    }
    if (i == h) {
      sum = 0;
      for (int32_t j = 0; j <= 2 * h; ++j) sum += src[j];
    } else {
      sum += int64_t{src[i + h]} - src[i - h - 1];
    }
    dst[i] = static_cast<int16_t>(static_cast<uint16_t>(sum / window));
  }
}

void SmoothVoicedRuns(const int32_t* src, int32_t* dst, int32_t count, int32_t window) {
  std::fill(dst, dst + count, 0);
  int32_t start = 0;
  while (true) {
    while (start < count && src[start] <= kVoicedThreshold) ++start;
    if (start >= count) return;
    int32_t end = start;
    while (end < count && src[end] > kVoicedThreshold) ++end;
    MovingAverage(src + start, dst + start, end - start, window);
    start = end;
  }
}

}  // namespace talvox
