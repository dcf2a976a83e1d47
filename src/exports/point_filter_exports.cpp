#include "pitch/point_filter.h"
#include "talvox.h"

extern "C" {

int32_t FilterInPoints(const int32_t* src, int32_t* dst, int32_t count, int32_t window) {
  if (src == nullptr || dst == nullptr || count < 0 || window <= 0) return 0;
  talvox::MovingAverage(src, dst, count, window);
  return 1;
}

int32_t FilterPitch(const int32_t* src, int32_t* dst, int32_t count, int32_t window) {
  if (src == nullptr || dst == nullptr || count < 0 || window <= 0) return 0;
  talvox::SmoothVoicedRuns(src, dst, count, window);
  return 1;
}

}  // extern "C"
