#include "voice/run_ends.h"

#include <algorithm>

namespace talvox {

namespace {
// Pulses at a run's ends fainter than this share of the run's typical pulse
// are the voice fading in or out, not cycles a laryngograph would show.
constexpr double kFaintestEdgePulse = 0.08;
// A cycle at a run's end with less power above the noise floor than this
// share of the run's typical cycle is the noise of the pause (where the
// noise is strong enough to hold peaks like closure pulses) or the ringing
// of the last cycle.
constexpr double kQuietestEdgeCycle = 0.005;
// With noise, an edge cycle must also hold three times as much voice as the
// pauses hold noise: a cycle near the noise's power is no more certain than
// a noise peak, and its measured power is half noise. Never more than these
// shares of the typical cycle, so at low SNR the onsets the voice clearly
// has are kept: less for a short cycle, whose power rests on few samples
// and which is little time, more for a long one, which, kept in error,
// holds a whole period of the pause.
constexpr double kEdgeVoiceOverNoise = 3.0;
constexpr double kNoisyShortEdgeCycle = 0.011;
constexpr double kNoisyLongEdgeCycle = 0.015;
constexpr double kShortCycleSeconds = 0.004;
constexpr double kFloorFrameSeconds = 0.010;
// The pauses: frames up to twice the power of the quietest 5% (which alone
// would lie below the noise's mean), in a signal whose loudest frames are
// well above them (else it has no pauses to measure).
constexpr double kFloorQuantile = 0.05;
constexpr double kPauseSpread = 2.0;
constexpr double kLoudQuantile = 0.99;
constexpr double kFloorBelowLoud = 0.03;  // 15 dB

// Fewer frames than this say nothing about the pauses.
constexpr size_t kFramesForFloor = 20;

template <typename T>
T Median(std::vector<T> values) {
  const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
  std::nth_element(values.begin(), middle, values.end());
  return *middle;
}

double MeanSquare(const int16_t* samples, int64_t from, int64_t to) {
  double sum = 0;
  for (int64_t t = from; t < to; ++t) sum += static_cast<double>(samples[t]) * samples[t];
  return to > from ? sum / static_cast<double>(to - from) : 0.0;
}

// Power of the cycle that closure k starts: up to the next closure, or one
// period beyond the last.
double CyclePower(const int16_t* samples, int32_t length, const std::vector<int32_t>& marks,
                  size_t k) {
  const int64_t from = marks[k];
  const int64_t to = k + 1 < marks.size() ? marks[k + 1] : 2 * int64_t{marks[k]} - marks[k - 1];
  return MeanSquare(samples, std::clamp<int64_t>(from, 0, length),
                    std::clamp<int64_t>(to, 0, length));
}
}  // namespace

void TrimFaintPulses(std::vector<ChosenClosure>& closures, double keepFrom, double keepTo) {
  if (closures.size() < 3) return;
  std::vector<double> pulses;
  for (const ChosenClosure& c : closures) pulses.push_back(c.pulse);
  const double faint = kFaintestEdgePulse * Median(pulses);
  size_t first = 0, last = closures.size();
  auto fades = [&](size_t k) { return closures[k].pulse < faint; };
  while (first < last && fades(first) && closures[first].position < keepFrom) ++first;
  while (last > first && fades(last - 1) && closures[last - 1].position > keepTo) --last;
  closures = std::vector<ChosenClosure>(closures.begin() + static_cast<std::ptrdiff_t>(first),
                                        closures.begin() + static_cast<std::ptrdiff_t>(last));
}

double NoiseFloorPower(const int16_t* samples, int32_t length, int32_t sampleRate) {
  const int64_t frame = std::max<int64_t>(1, static_cast<int64_t>(kFloorFrameSeconds * sampleRate));
  std::vector<double> power;
  for (int64_t at = 0; at + frame <= length; at += frame) {
    power.push_back(MeanSquare(samples, at, at + frame));
  }
  if (power.size() < kFramesForFloor) return 0.0;
  std::vector<double> sorted = power;
  auto quantile = [&sorted](double q) {
    const auto at = sorted.begin() + static_cast<std::ptrdiff_t>(q * static_cast<double>(sorted.size() - 1));
    std::nth_element(sorted.begin(), at, sorted.end());
    return *at;
  };
  const double quiet = quantile(kFloorQuantile);
  if (!(quiet < kFloorBelowLoud * quantile(kLoudQuantile))) return 0.0;
  double sum = 0;
  size_t pauses = 0;
  for (double p : power) {
    if (p > kPauseSpread * quiet) continue;
    sum += p;
    ++pauses;
  }
  return sum / static_cast<double>(pauses);
}

void TrimQuietCycles(const int16_t* samples, int32_t length, int32_t sampleRate,
                     double floorPower, std::vector<int32_t>& marks) {
  const size_t n = marks.size();
  if (n < 3) return;
  std::vector<double> voice(n);
  for (size_t k = 0; k < n; ++k) {
    voice[k] = std::max(0.0, CyclePower(samples, length, marks, k) - floorPower);
  }
  const double typical = Median(voice);
  const double shortCycle = kShortCycleSeconds * sampleRate;
  auto quiet = [&](size_t k) {
    const int32_t cycle = k + 1 < n ? marks[k + 1] - marks[k] : marks[k] - marks[k - 1];
    const double most = cycle < shortCycle ? kNoisyShortEdgeCycle : kNoisyLongEdgeCycle;
    return std::clamp(kEdgeVoiceOverNoise * floorPower, kQuietestEdgeCycle * typical,
                      most * typical);
  };
  size_t first = 0, last = n;
  while (last - first >= 2 && voice[first] < quiet(first)) ++first;
  while (last - first >= 2 && voice[last - 1] < quiet(last - 1)) --last;
  if (last - first < 2) {
    marks.clear();
    return;
  }
  marks = std::vector<int32_t>(marks.begin() + static_cast<std::ptrdiff_t>(first),
                               marks.begin() + static_cast<std::ptrdiff_t>(last));
}

}  // namespace talvox
