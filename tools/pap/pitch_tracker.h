// Pitch of a sound by the library's voice tracker (normalised
// cross-correlation with a path search), within the script's range.
#pragma once

#include <cstdint>
#include <vector>

namespace pap {

struct PitchSettings {
  double timeStep = 0.01;  // seconds between frame centres
  double floor = 75.0;     // Hz
  double ceiling = 600.0;  // Hz
};

struct PitchTrack {
  double firstTime = 0.0;  // seconds, centre of frame 0
  double timeStep = 0.0;
  std::vector<float> frequency;  // Hz per frame, 0 where unvoiced
  // The range the track was searched in; the pulses keep to it.
  double floor = 0.0;
  double ceiling = 0.0;
};

// An empty track when the library refuses the sound or the range.
PitchTrack TrackPitch(const std::vector<int16_t>& samples, int sampleRate,
                      const PitchSettings& settings);

}  // namespace pap
