#include "voice/f0_path.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace talvox {

namespace {
// Cost per unit of log-period change from one frame to the next.
constexpr float kFrequencyWeight = 1.0f;
// Cost of switching between voiced and unvoiced: keeps the decision from
// flickering.
constexpr float kVoicingTransition = 0.25f;
// Added to the unvoiced cost; positive favours voicing.
constexpr float kVoicingBias = 0.0f;
// Cost per octave of period above the shortest searched: in noise, the
// correlation at twice the period of a high voice often equals the one at
// the period itself, and the lag weight alone is too slight over a range
// of short periods.
constexpr float kOctaveCost = 0.03f;
constexpr int32_t kMaxStates = 7;  // six candidates and "unvoiced"
constexpr float kInfinite = std::numeric_limits<float>::max() / 4;

struct State {
  float lag = 0;  // 0: unvoiced
  float local = 0;
};

int32_t FrameStates(const CorrelationFrames& frames, int32_t f, float minLag, float maxLag,
                    float longestLag, State* states) {
  int32_t count = 0;
  states[count++] = {0.0f, kVoicingBias + frames.best[f]};
  for (int32_t c = frames.first[f]; c < frames.first[f + 1] && count < kMaxStates; ++c) {
    const LagCandidate& k = frames.candidates[c];
    if (k.lag < minLag || k.lag > maxLag) continue;
    const float weighted = k.strength * (1.0f - kLagWeight * k.lag / longestLag);
    states[count++] = {k.lag, 1.0f - weighted + kOctaveCost * std::log2(k.lag / minLag)};
  }
  return count;
}

float Transition(const State& from, const State& to) {
  const bool voicedFrom = from.lag > 0;
  const bool voicedTo = to.lag > 0;
  if (voicedFrom != voicedTo) return kVoicingTransition;
  if (!voicedFrom) return 0.0f;
  return kFrequencyWeight * std::fabs(std::log(to.lag / from.lag));
}
}  // namespace

std::vector<float> SearchF0Path(const CorrelationFrames& frames, float minLag, float maxLag,
                                float longestLag) {
  const int32_t n = frames.frames;
  std::vector<float> path(static_cast<size_t>(std::max(n, 0)), 0.0f);
  if (n <= 0) return path;
  std::vector<int8_t> back(static_cast<size_t>(n) * kMaxStates, 0);
  // Only each state's lag is needed to trace the path back.
  std::vector<float> lags(static_cast<size_t>(n) * kMaxStates);
  State previous[kMaxStates];
  float previousCost[kMaxStates];
  int32_t previousCount = FrameStates(frames, 0, minLag, maxLag, longestLag, previous);
  for (int32_t s = 0; s < previousCount; ++s) {
    previousCost[s] = previous[s].local;
    lags[s] = previous[s].lag;
  }
  for (int32_t f = 1; f < n; ++f) {
    State current[kMaxStates];
    float cost[kMaxStates];
    const int32_t count = FrameStates(frames, f, minLag, maxLag, longestLag, current);
    for (int32_t s = 0; s < count; ++s) {
      float bestCost = kInfinite;
      int32_t from = 0;
      for (int32_t p = 0; p < previousCount; ++p) {
        const float total = previousCost[p] + Transition(previous[p], current[s]);
        if (total < bestCost) {
          bestCost = total;
          from = p;
        }
      }
      cost[s] = bestCost + current[s].local;
      back[static_cast<size_t>(f) * kMaxStates + s] = static_cast<int8_t>(from);
    }
    for (int32_t s = 0; s < count; ++s) {
      previous[s] = current[s];
      previousCost[s] = cost[s];
      lags[static_cast<size_t>(f) * kMaxStates + s] = current[s].lag;
    }
    previousCount = count;
  }
  int32_t state = static_cast<int32_t>(
      std::min_element(previousCost, previousCost + previousCount) - previousCost);
  for (int32_t f = n - 1; f >= 0; --f) {
    path[f] = lags[static_cast<size_t>(f) * kMaxStates + state];
    state = back[static_cast<size_t>(f) * kMaxStates + state];
  }
  return path;
}

}  // namespace talvox
