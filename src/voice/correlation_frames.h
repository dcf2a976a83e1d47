// Normalised cross-correlation of a reduced-rate signal, frame by frame: the
// level of each frame and its best period candidates.
#pragma once

#include <cstdint>
#include <vector>

namespace talvox {

// Long lags are slightly penalised: a period's multiples correlate nearly as
// well as the period itself.
constexpr float kLagWeight = 0.3f;

struct LagCandidate {
  float lag = 0;       // samples of the reduced signal, interpolated
  float strength = 0;  // normalised correlation at that lag, -1..1
};

struct CorrelationFrames {
  int32_t frames = 0;
  std::vector<float> level;    // RMS around each frame centre
  std::vector<int32_t> first;  // frames + 1 offsets into candidates
  std::vector<LagCandidate> candidates;
  std::vector<float> best;  // the largest correlation of each frame (0 if none)
};

struct CorrelationSettings {
  int32_t hop = 0;     // frame f is centred at f * hop
  int32_t window = 0;  // correlation window
  int32_t minLag = 0;
  int32_t maxLag = 0;
};

// Each frame keeps its strongest candidates after the lag weight (lag /
// maxLag), so the true period is never crowded out by its multiples.
// Frames whose level lies more than 35 dB below the loudest frames
// (or below one least step of 16-bit audio) are not correlated: no candidate.
CorrelationFrames CorrelateFrames(const float* x, int32_t n, const CorrelationSettings& settings);

}  // namespace talvox
