// Moving all peaks onto the signal: back to zero crossings or on to maxima.
#include <cstdlib>

#include "pitch/peak_table.h"

namespace talvox {

namespace {
bool SameSign(int32_t a, int32_t b) { return a * b > 0; }
}  // namespace

void AdjustPeaksToZeroCrossings(DocumentState& doc, const int16_t* samples, int32_t count) {
  if (samples == nullptr || count < 2) return;
  int32_t* peaks = doc.record.peaks;
  for (int32_t i = PeakCount(doc) - 1; i >= 0; --i) {
    int32_t p = peaks[i];
    if (p < 0 || p >= count) continue;
    while (p > 0 && SameSign(samples[p], samples[p - 1])) --p;
    if (p == 0) {
      // No crossing down to the start: the walk ends here.
      peaks[i] = 1;
      break;
    }
    peaks[i] = std::abs(samples[p]) > std::abs(samples[p - 1]) ? p - 1 : p;
  }
  RecomputeModifiedPitch(doc);
}

void AdjustPeaksToMaxima(DocumentState& doc, const int16_t* samples, int32_t count) {
  if (samples == nullptr || count < 2) return;
  int32_t* peaks = doc.record.peaks;
  const int32_t n = PeakCount(doc);
  for (int32_t i = 0; i < n; ++i) {
    int32_t p = peaks[i];
    if (p < 0 || p >= count) continue;
    if (p == 0) p = 1;
    while (p < count - 1 && !(samples[p] >= samples[p + 1] && samples[p] >= samples[p - 1])) ++p;
    if (p >= count - 1) {
      // No maximum up to the end: the walk ends here.
      peaks[i] = count - 2;
      break;
    }
    peaks[i] = p;
  }
  RecomputeModifiedPitch(doc);
}

}  // namespace talvox
