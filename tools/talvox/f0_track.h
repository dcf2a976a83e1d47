// F0 of a channel from the library's voice tracker, frame by frame: the F0
// the tool prints and draws (independent of the pitch marks in use).
#pragma once

#include <cstdint>
#include <vector>

#include "analysis.h"
#include "session.h"

namespace tvx {

struct F0Track {
  int32_t hop = 0;         // samples between frames; frame i centred at i * hop
  std::vector<float> f0;   // Hz, 0 where unvoiced

  // F0 at a sample position: interpolated between two voiced frames, else
  // the nearer frame's (0 when it is unvoiced). A period between frames
  // then follows a glide rather than stepping every 5 ms.
  double At(double sample) const;
  // The voiced frames' F0 with centres in [start, end).
  std::vector<double> VoicedBetween(int32_t start, int32_t end) const;
};

// The track of samples[0, length), frames every 5 ms (empty when the
// tracker refuses the arguments).
F0Track TrackSamples(const int16_t* samples, int32_t length, int rate, VoiceRange range);

// The track of a channel of the wave buffer.
F0Track TrackChannel(const LoadedWave& wave, int channel, VoiceRange range);

// The period a scale or a rule starts from, per interval between peaks (0
// where it is no pitch period: longer than longest): the tracker's F0 at
// its middle, else the median of the mark distances around it, then the
// median of those over a few neighbours. A mark route may put a mark a
// tenth of a period off; its two distances, scaled as they are, would make
// the new periods jump and the voice rough, while the tracker follows the
// F0 an outside tracker hears.
std::vector<double> PresentPeriods(const std::vector<int32_t>& peaks, int rate, const F0Track& track,
                                   int32_t longest);

// F0 at the middle of each interval between neighbouring peaks (0 where
// the track is unvoiced): the curve the plot draws.
std::vector<double> TrackAtIntervals(const F0Track& track, const std::vector<int32_t>& peaks);

}  // namespace tvx
