// The two analysis steps of pap.exe on the library's exports.
#include <algorithm>
#include <cmath>
#include <limits>

#include "pitch_tracker.h"
#include "pulses.h"
#include "talvox.h"

namespace pap {

namespace {
int32_t Length(const std::vector<int16_t>& samples) {
  return static_cast<int32_t>(
      std::min<size_t>(samples.size(), std::numeric_limits<int32_t>::max()));
}
}  // namespace

PitchTrack TrackPitch(const std::vector<int16_t>& samples, int sampleRate,
                      const PitchSettings& settings) {
  PitchTrack track;
  track.floor = settings.floor;
  track.ceiling = settings.ceiling;
  const int32_t hop =
      std::max(1, static_cast<int32_t>(std::lround(settings.timeStep * sampleRate)));
  track.timeStep = static_cast<double>(hop) / sampleRate;
  const float floor = static_cast<float>(settings.floor);
  const float ceiling = static_cast<float>(settings.ceiling);
  const int32_t length = Length(samples);
  const int32_t frames =
      _CalculateF0Track(samples.data(), length, sampleRate, floor, ceiling, hop, nullptr, 0);
  track.frequency.assign(static_cast<size_t>(std::max(frames, 0)), 0.0f);
  if (frames > 0) {
    _CalculateF0Track(samples.data(), length, sampleRate, floor, ceiling, hop,
                      track.frequency.data(), frames);
  }
  return track;
}

std::vector<int32_t> FindPulses(const std::vector<int16_t>& samples, int sampleRate,
                                const PitchTrack& track) {
  const float floor = static_cast<float>(track.floor);
  const float ceiling = static_cast<float>(track.ceiling);
  const int32_t length = Length(samples);
  const int32_t count =
      _CalculateVoiceMarks(samples.data(), length, sampleRate, floor, ceiling, nullptr, 0);
  std::vector<int32_t> pulses(static_cast<size_t>(std::max(count, 0)));
  if (count > 0) {
    _CalculateVoiceMarks(samples.data(), length, sampleRate, floor, ceiling, pulses.data(), count);
  }
  return pulses;
}

}  // namespace pap
