// The most plausible period path through the correlation candidates: a
// Viterbi search over each frame's candidates and "unvoiced".
#pragma once

#include <cstdint>
#include <vector>

#include "voice/correlation_frames.h"

namespace talvox {

// One lag per frame (in reduced-rate samples, interpolated), 0 where the
// path is unvoiced. Only candidates with minLag <= lag <= maxLag take part;
// longestLag is the longest lag the frames were searched for.
std::vector<float> SearchF0Path(const CorrelationFrames& frames, float minLag, float maxLag,
                                float longestLag);

}  // namespace talvox
