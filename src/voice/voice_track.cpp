#include "voice/voice_track.h"

#include <algorithm>
#include <cmath>

#include "voice/correlation_frames.h"
#include "voice/decimation.h"
#include "voice/f0_path.h"

namespace talvox {

namespace {
// The reduced rate: the first harmonics of any voice fit well below it.
constexpr double kAnalysisRate = 4000.0;
// Samples per period at the ceiling, at least, in the reduced copy.
constexpr double kSamplesPerShortestPeriod = 4.0;
constexpr double kHopSeconds = 0.005;
constexpr double kWindowSeconds = 0.010;
// The first search when the range is to be found: any speaking voice.
constexpr float kWideFloorHz = 50.0f;
constexpr float kWideCeilingHz = 600.0f;
// Below this no F0 is searched for (the window would not see two periods).
constexpr float kLowestFloorHz = 20.0f;
// The speaker's range: these quantiles of the first search's F0, widened
// by these factors (glides beyond the bulk of the distribution).
constexpr double kLowQuantile = 0.05;
constexpr double kHighQuantile = 0.95;
constexpr double kFloorMargin = 0.7;
constexpr double kCeilingMargin = 1.4;
// ... but never more than these factors from the median: a wide pass reads
// some fricatives and creak an octave or two off, and a tenth of such frames
// would otherwise open the range to them. A voice reaches further below its
// median than above it (a wide-ranged voice's low stretches, falling tones,
// phrase ends), so the floor may lie lower.
constexpr double kLargestFactorAboveMedian = 2.0;
constexpr double kLargestFactorBelowMedian = 2.5;
// Fewer voiced frames than this say too little about the range.
constexpr size_t kFramesForRange = 20;

double Quantile(std::vector<float> values, double q) {
  const size_t at = static_cast<size_t>(q * static_cast<double>(values.size() - 1));
  std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(at), values.end());
  return values[at];
}

std::vector<float> ToF0(const std::vector<float>& lags, double reducedRate) {
  std::vector<float> f0(lags.size(), 0.0f);
  for (size_t f = 0; f < lags.size(); ++f) {
    if (lags[f] > 0) f0[f] = static_cast<float>(reducedRate / lags[f]);
  }
  return f0;
}
}  // namespace

VoiceTrack TrackVoice(const int16_t* samples, int32_t length, int32_t sampleRate, float floorHz,
                      float ceilingHz) {
  const bool automatic = floorHz == 0 && ceilingHz == 0;
  float floor = floorHz > 0 ? std::max(floorHz, kLowestFloorHz) : kWideFloorHz;
  float ceiling = ceilingHz > 0 ? ceilingHz : kWideCeilingHz;
  if (floor >= ceiling) floor = std::max(kLowestFloorHz, ceiling / 2);
  const double fastest = std::max(kAnalysisRate, kSamplesPerShortestPeriod * ceiling);
  const int32_t factor = std::max(1, static_cast<int32_t>(sampleRate / fastest));
  const double reducedRate = static_cast<double>(sampleRate) / factor;
  ceiling = std::min(ceiling, static_cast<float>(reducedRate / 2));

  VoiceTrack track;
  track.sampleRate = sampleRate;
  const std::vector<float> x = DecimateForPitch(samples, length, factor, sampleRate);
  CorrelationSettings settings;
  settings.hop = std::max(1, static_cast<int32_t>(std::lround(kHopSeconds * reducedRate)));
  settings.window = std::max(4, static_cast<int32_t>(std::lround(kWindowSeconds * reducedRate)));
  settings.minLag = std::max(2, static_cast<int32_t>(std::floor(reducedRate / ceiling)));
  settings.maxLag =
      std::max(settings.minLag + 2, static_cast<int32_t>(std::ceil(reducedRate / floor)));
  track.hop = static_cast<double>(settings.hop) * factor;
  const CorrelationFrames frames =
      CorrelateFrames(x.data(), static_cast<int32_t>(x.size()), settings);
  const float longest = static_cast<float>(settings.maxLag);
  std::vector<float> lags =
      SearchF0Path(frames, static_cast<float>(settings.minLag), longest, longest);
  if (automatic) {
    std::vector<float> voiced;
    for (float lag : lags) {
      if (lag > 0) voiced.push_back(static_cast<float>(reducedRate / lag));
    }
    if (voiced.size() >= kFramesForRange) {
      const double median = Quantile(voiced, 0.5);
      const double low =
          std::max(kFloorMargin * Quantile(voiced, kLowQuantile), median / kLargestFactorBelowMedian);
      const double high =
          std::min(kCeilingMargin * Quantile(voiced, kHighQuantile), median * kLargestFactorAboveMedian);
      lags = SearchF0Path(frames, static_cast<float>(reducedRate / high),
                          static_cast<float>(reducedRate / low), longest);
    }
  }
  track.f0 = ToF0(lags, reducedRate);
  return track;
}

float F0At(const VoiceTrack& track, double sample) {
  const int32_t n = static_cast<int32_t>(track.f0.size());
  if (n == 0 || !(track.hop > 0)) return 0.0f;
  const double position = std::clamp(sample / track.hop, 0.0, static_cast<double>(n - 1));
  const int32_t left = static_cast<int32_t>(position);
  const int32_t right = std::min(left + 1, n - 1);
  const double share = position - left;
  const float a = track.f0[left];
  const float b = track.f0[right];
  if (a > 0 && b > 0) return static_cast<float>(a + (b - a) * share);
  return share < 0.5 ? a : b;
}

std::vector<FrameRun> VoicedRuns(const VoiceTrack& track, int32_t maxGap, int32_t minFrames) {
  std::vector<FrameRun> runs;
  const int32_t n = static_cast<int32_t>(track.f0.size());
  for (int32_t f = 0; f < n; ++f) {
    if (!(track.f0[f] > 0)) continue;
    if (!runs.empty() && f - runs.back().last - 1 <= maxGap) {
      runs.back().last = f;
    } else {
      runs.push_back({f, f});
    }
  }
  runs.erase(std::remove_if(runs.begin(), runs.end(),
                            [&](const FrameRun& r) { return r.last - r.first + 1 < minFrames; }),
             runs.end());
  return runs;
}

}  // namespace talvox
