// Voicing and F0 of a speech signal: normalised cross-correlation on a copy
// at about 4 kHz, a Viterbi path search over the candidates, and (with no
// range given) a second search inside the speaker's range found by the
// first.
#pragma once

#include <cstdint>
#include <vector>

namespace talvox {

struct VoiceTrack {
  double sampleRate = 0;
  double hop = 0;         // input samples between frame centres; frame 0 at sample 0
  std::vector<float> f0;  // Hz per frame, 0 where unvoiced
};

// floorHz = ceilingHz = 0 chooses the range from the signal; floorHz 0
// alone chooses the floor below the given ceiling. The arguments are the
// caller's to check (VoiceArgumentsValid).
VoiceTrack TrackVoice(const int16_t* samples, int32_t length, int32_t sampleRate, float floorHz,
                      float ceilingHz);

// F0 at an input sample position: between two voiced frames interpolated,
// else the nearer frame's value (0 when that frame is unvoiced).
float F0At(const VoiceTrack& track, double sample);

// Runs of voiced frames [first, last], gaps of at most maxGap unvoiced
// frames bridged, runs shorter than minFrames dropped.
struct FrameRun {
  int32_t first = 0;
  int32_t last = 0;
};
std::vector<FrameRun> VoicedRuns(const VoiceTrack& track, int32_t maxGap, int32_t minFrames);

}  // namespace talvox
