// Pitch by normalised autocorrelation with a dynamic-programming path.
//
// Each frame (a Hann window of three periods at the floor) gives the
// autocorrelation of the windowed signal divided by that of the window, so
// a periodic signal scores near 1 at its period. Its local maxima between
// the periods of the ceiling and the floor are the voiced candidates; one
// unvoiced candidate scores high where the frame is quiet. The path through
// the candidates maximises the summed scores minus costs for octave jumps and
// voicing changes, so isolated octave errors and voicing flips disappear.
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
};

PitchTrack TrackPitch(const std::vector<int16_t>& samples, int sampleRate,
                      const PitchSettings& settings);

}  // namespace pap
