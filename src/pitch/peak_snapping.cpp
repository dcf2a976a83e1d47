#include "pitch/peak_snapping.h"

#include <algorithm>
#include <cstdlib>

namespace talvox {

namespace {
// Positions this close to the start are returned as they are: the windows
// below reach 11 samples back.
constexpr int32_t kStartMargin = 11;
// The maximum search starts 11 samples back and walks 20 samples on.
constexpr int32_t kMaximumBack = 11;
constexpr int32_t kMaximumAhead = 9;
// Zero crossings are looked for up to 10 samples on each side.
constexpr int32_t kCrossingReach = 10;

bool Crosses(int32_t a, int32_t b) { return a * b <= 0; }

// The sample of the pair (a at i, b at j) nearer to zero; i when equal.
int64_t NearerToZero(const int16_t* s, int64_t i, int64_t j) {
  return std::abs(s[i]) > std::abs(s[j]) ? j : i;
}
}  // namespace

SampleWindow ClipToSignal(int64_t first, int64_t last, int32_t length) {
  return {std::max<int64_t>(first, 0), std::min<int64_t>(last, static_cast<int64_t>(length) - 1)};
}

int32_t ClosedMaximum(const int16_t* samples, int32_t length, int32_t position) {
  if (position < kStartMargin) return position;
  const SampleWindow w =
      ClipToSignal(static_cast<int64_t>(position) - kMaximumBack, position + int64_t{kMaximumAhead},
                   length);
  int64_t best = w.first;
  for (int64_t i = w.first + 1; i <= w.last; ++i) {
    if (samples[i] > samples[best]) best = i;
  }
  return best == static_cast<int64_t>(position) - kMaximumBack ? position
                                                               : static_cast<int32_t>(best);
}

int32_t ClosedZeroCrossing(const int16_t* samples, int32_t length, int32_t position) {
  if (static_cast<int64_t>(position) > static_cast<int64_t>(length) - kCrossingReach ||
      position < kStartMargin) {
    return position;
  }
  // Pairs (i - 1, i) to the left and (i, i + 1) to the right, both samples
  // inside the signal.
  const SampleWindow left =
      ClipToSignal(static_cast<int64_t>(position) - kCrossingReach - 1, position, length);
  const SampleWindow right = ClipToSignal(position, position + int64_t{kCrossingReach} + 1, length);
  int64_t leftCrossing = -1;
  for (int64_t i = position; i - 1 >= left.first && i <= left.last; --i) {
    if (i < position - kCrossingReach) break;
    if (Crosses(samples[i], samples[i - 1])) leftCrossing = NearerToZero(samples, i, i - 1);
  }
  int64_t rightCrossing = -1;
  for (int64_t i = position; i + 1 <= right.last && i <= position + kCrossingReach; ++i) {
    if (Crosses(samples[i], samples[i + 1])) rightCrossing = NearerToZero(samples, i, i + 1);
  }
  if (leftCrossing < 0 && rightCrossing < 0) return position;
  // A side without a crossing counts as farther than any crossing found.
  const int64_t none = static_cast<int64_t>(position) + 1;
  const int64_t leftDistance = leftCrossing < 0 ? none : position - leftCrossing;
  const int64_t rightDistance = rightCrossing < 0 ? none : rightCrossing - position;
  return static_cast<int32_t>(leftDistance <= rightDistance ? leftCrossing : rightCrossing);
}

}  // namespace talvox
