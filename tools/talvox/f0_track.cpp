#include "f0_track.h"

#include <algorithm>
#include <cmath>

#include "run_median.h"
#include "talvox.h"

namespace tvx {
namespace {
constexpr double kHopSeconds = 0.005;
// Intervals either side whose median is the steady distance of an interval
// (where the tracker finds no voice) and whose median is the present period.
constexpr size_t kSteadyReach = 4;
constexpr size_t kPresentReach = 1;
}  // namespace

double F0Track::At(double sample) const {
  if (f0.empty() || hop <= 0) return 0.0;
  const double position = std::clamp(sample / hop, 0.0, double(f0.size() - 1));
  const size_t left = static_cast<size_t>(position);
  const size_t right = std::min(left + 1, f0.size() - 1);
  const double share = position - double(left);
  const double a = f0[left], b = f0[right];
  if (a > 0 && b > 0) return a + (b - a) * share;
  return share < 0.5 ? a : b;
}

std::vector<double> F0Track::VoicedBetween(int32_t start, int32_t end) const {
  std::vector<double> values;
  if (hop <= 0) return values;
  for (int64_t i = (int64_t(start) + hop - 1) / hop; i * hop < end && i < int64_t(f0.size()); ++i)
    if (i >= 0 && f0[size_t(i)] > 0) values.push_back(f0[size_t(i)]);
  return values;
}

F0Track TrackSamples(const int16_t* samples, int32_t length, int rate, VoiceRange range) {
  F0Track track;
  if (!samples || length <= 0 || rate <= 0) return track;
  track.hop = std::max(1, static_cast<int32_t>(std::lround(kHopSeconds * rate)));
  // The frame count is fixed by the length and the hop, so one pass of the
  // tracker fills the track.
  const int32_t frames = (length - 1) / track.hop + 1;
  track.f0.assign(static_cast<size_t>(frames), 0.0f);
  const int32_t made =
      _CalculateF0Track(samples, length, rate, range.floor, range.ceiling, track.hop, track.f0.data(), frames);
  track.f0.resize(static_cast<size_t>(std::clamp(made, 0, frames)));
  return track;
}

F0Track TrackChannel(const LoadedWave& wave, int channel, VoiceRange range) {
  return TrackSamples(GetDataBuffer(channel), wave.length, wave.rate, range);
}

std::vector<double> TrackAtIntervals(const F0Track& track, const std::vector<int32_t>& peaks) {
  std::vector<double> f0(peaks.size() > 1 ? peaks.size() - 1 : 0, 0.0);
  for (size_t k = 0; k < f0.size(); ++k) {
    if (peaks[k + 1] <= peaks[k]) continue;
    f0[k] = track.At(0.5 * (double(peaks[k]) + double(peaks[k + 1])));
  }
  return f0;
}

std::vector<double> PresentPeriods(const std::vector<int32_t>& peaks, int rate, const F0Track& track,
                                   int32_t longest) {
  const size_t count = peaks.size() > 1 ? peaks.size() - 1 : 0;
  auto distance = [&](size_t j) -> double {
    const int32_t d = peaks[j + 1] - peaks[j];
    return d > 0 && d <= longest ? d : 0;
  };
  std::vector<double> tracked(count, 0.0);
  for (size_t k = 0; k < count; ++k) {
    if (distance(k) <= 0) continue;
    const double f0 = track.At(0.5 * (double(peaks[k]) + double(peaks[k + 1])));
    tracked[k] = f0 > 0 ? rate / f0 : RunMedian(k, count, kSteadyReach, distance);
  }
  std::vector<double> present(count, 0.0);
  for (size_t k = 0; k < count; ++k)
    if (tracked[k] > 0) present[k] = RunMedian(k, count, kPresentReach, [&](size_t j) { return tracked[j]; });
  return present;
}

}  // namespace tvx
