#include "voice/correlation_frames.h"

#include <algorithm>
#include <cmath>

#include "voice/dot_product.h"

namespace talvox {

namespace {
// Frames this far below the loudest ones are silence whatever they hold
// (room noise, mains hum between utterances).
constexpr double kSilenceBelowLoudestDb = 35.0;
// The loudest frames: this share of frames lies below their level.
constexpr double kLoudestQuantile = 0.99;
// Below one least step of 16-bit audio nothing is a voice.
constexpr double kSilentLevel = 0.5;
// The noise floor: the level of the quietest frames (the pauses). Frames
// within a few dB of it are that noise, whatever periodic trace they hold;
// a file with no pauses (floor close to the loudest) keeps no such gate.
constexpr double kNoiseFloorQuantile = 0.05;
constexpr double kAboveNoiseFloorDb = 4.0;
constexpr double kFloorBelowLoudestDb = 15.0;
// Peaks of the correlation weaker than this are no candidates.
constexpr float kWeakestCandidate = 0.25f;
constexpr int32_t kCandidatesPerFrame = 6;

int32_t WindowStart(int32_t centre, int32_t lag, int32_t window, int32_t n) {
  return std::clamp(centre - (window + lag) / 2, 0, std::max(0, n - lag - window));
}

std::vector<float> FrameLevels(const float* x, int32_t n, int32_t frames,
                               const CorrelationSettings& s) {
  std::vector<float> level(static_cast<size_t>(frames));
  for (int32_t f = 0; f < frames; ++f) {
    const int32_t lo = std::clamp(f * s.hop - s.window / 2, 0, n);
    const int32_t hi = std::clamp(f * s.hop + s.window / 2 + 1, 0, n);
    const double energy = hi > lo ? Dot(x + lo, x + lo, hi - lo) / (hi - lo) : 0.0;
    level[f] = static_cast<float>(std::sqrt(energy));
  }
  return level;
}

double Quantile(std::vector<float>& level, double q) {
  const size_t at = static_cast<size_t>(q * static_cast<double>(level.size() - 1));
  std::nth_element(level.begin(), level.begin() + static_cast<std::ptrdiff_t>(at), level.end());
  return level[at];
}

float Threshold(std::vector<float> level) {
  if (level.empty()) return 0;
  const double loud = Quantile(level, kLoudestQuantile);
  const double floor = Quantile(level, kNoiseFloorQuantile);
  double threshold = std::max(kSilentLevel, loud * std::pow(10.0, -kSilenceBelowLoudestDb / 20));
  if (floor < loud * std::pow(10.0, -kFloorBelowLoudestDb / 20)) {
    threshold = std::max(threshold, floor * std::pow(10.0, kAboveNoiseFloorDb / 20));
  }
  return static_cast<float>(threshold);
}

// The correlation of frame f at every lag into r (index lag - minLag), its
// dot products in the wide or the narrow lanes (the same sums either way).
template <bool Wide>
__attribute__((always_inline)) inline void CorrelateFrame(const float* x, int32_t n, int32_t f,
                                                          const CorrelationSettings& s,
                                                          std::vector<double>& prefix,
                                                          std::vector<float>& r) {
  const int32_t centre = f * s.hop;
  int32_t lo = n, hi = 0;
  for (int32_t lag = s.minLag; lag <= s.maxLag; ++lag) {
    const int32_t start = WindowStart(centre, lag, s.window, n);
    lo = std::min(lo, start);
    hi = std::max(hi, std::min(n, start + lag + s.window));
  }
  prefix.assign(static_cast<size_t>(std::max(0, hi - lo) + 1), 0.0);
  for (int32_t k = lo; k < hi; ++k) {
    prefix[k - lo + 1] = prefix[k - lo] + static_cast<double>(x[k]) * x[k];
  }
  for (int32_t lag = s.minLag; lag <= s.maxLag; ++lag) {
    float& value = r[lag - s.minLag];
    value = 0;
    if (lag + s.window > n) continue;
    const int32_t a = WindowStart(centre, lag, s.window, n);
    const int32_t b = a + lag;
    const double ea = prefix[a + s.window - lo] - prefix[a - lo];
    const double eb = prefix[b + s.window - lo] - prefix[b - lo];
    if (!(ea > 0 && eb > 0)) continue;
    const double dot = Wide ? dot_lanes::Sum(x + a, x + b, s.window)
                            : dot_lanes::NarrowSum(x + a, x + b, s.window);
    value = static_cast<float>(dot / std::sqrt(ea * eb));
  }
}

// Local maxima of r (computed one lag beyond the range on each side, so a
// period at the range's edge is still a maximum), interpolated, best first.
// A correlation that only falls from the shortest lag on (low-frequency
// noise, hum) has no maximum inside and gives no candidate.
void PickCandidates(const std::vector<float>& r, const CorrelationSettings& s,
                    const CorrelationSettings& range, std::vector<LagCandidate>& out,
                    float& best) {
  const int32_t count = s.maxLag - s.minLag + 1;
  LagCandidate kept[kCandidatesPerFrame];
  float rank[kCandidatesPerFrame];
  int32_t held = 0;
  const float longest = static_cast<float>(range.maxLag);
  best = 0;
  for (int32_t i = 1; i + 1 < count; ++i) {
    const int32_t lag = s.minLag + i;
    if (lag < range.minLag || lag > range.maxLag) continue;
    const float here = r[i];
    best = std::max(best, here);
    if (here < kWeakestCandidate) continue;
    const float left = r[i - 1];
    const float right = r[i + 1];
    if (!(here > left && here >= right)) continue;
    LagCandidate c{static_cast<float>(lag), here};
    const float curvature = left - 2 * here + right;
    if (curvature < 0) {
      const float shift = 0.5f * (left - right) / curvature;
      c.lag += shift;
      c.strength = std::min(1.0f, here - 0.25f * (left - right) * shift);
    }
    const float weighted = c.strength * (1.0f - kLagWeight * c.lag / longest);
    if (held < kCandidatesPerFrame) {
      kept[held] = c;
      rank[held++] = weighted;
    } else {
      const int32_t weakest = static_cast<int32_t>(std::min_element(rank, rank + held) - rank);
      if (rank[weakest] < weighted) {
        kept[weakest] = c;
        rank[weakest] = weighted;
      }
    }
  }
  // Best first (insertion: at most six entries).
  for (int32_t i = 1; i < held; ++i) {
    for (int32_t j = i; j > 0 && rank[j] > rank[j - 1]; --j) {
      std::swap(kept[j], kept[j - 1]);
      std::swap(rank[j], rank[j - 1]);
    }
  }
  out.insert(out.end(), kept, kept + held);
}

// Every frame loud enough: correlations, then candidates.
template <bool Wide>
__attribute__((always_inline)) inline void CorrelateLoudFrames(const float* x, int32_t n,
                                                               const CorrelationSettings& s,
                                                               float threshold,
                                                               CorrelationFrames& result) {
  CorrelationSettings beyond = s;
  beyond.minLag = std::max(1, s.minLag - 1);
  beyond.maxLag = s.maxLag + 1;
  std::vector<double> prefix;
  std::vector<float> r(static_cast<size_t>(beyond.maxLag - beyond.minLag + 1));
  for (int32_t f = 0; f < result.frames; ++f) {
    result.first[f] = static_cast<int32_t>(result.candidates.size());
    if (result.level[f] < threshold) continue;
    CorrelateFrame<Wide>(x, n, f, beyond, prefix, r);
    PickCandidates(r, beyond, s, result.candidates, result.best[f]);
  }
}

// Compiled for AVX as a whole, so its dot products inline.
__attribute__((target("avx"))) void CorrelateLoudFramesWide(const float* x, int32_t n,
                                                             const CorrelationSettings& s,
                                                             float threshold,
                                                             CorrelationFrames& result) {
  CorrelateLoudFrames<true>(x, n, s, threshold, result);
}
}  // namespace

CorrelationFrames CorrelateFrames(const float* x, int32_t n, const CorrelationSettings& s) {
  CorrelationFrames result;
  if (n <= 0 || s.hop <= 0 || s.minLag < 1 || s.maxLag < s.minLag) return result;
  result.frames = (n - 1) / s.hop + 1;
  result.level = FrameLevels(x, n, result.frames, s);
  const float threshold = Threshold(result.level);
  result.first.assign(static_cast<size_t>(result.frames) + 1, 0);
  result.best.assign(static_cast<size_t>(result.frames), 0.0f);
  if (dot_lanes::HasAvx()) {
    CorrelateLoudFramesWide(x, n, s, threshold, result);
  } else {
    CorrelateLoudFrames<false>(x, n, s, threshold, result);
  }
  result.first[result.frames] = static_cast<int32_t>(result.candidates.size());
  return result;
}

}  // namespace talvox
