// Resynthesis of a range of the loaded, annotated signal with a new pitch,
// the rest of the signal kept as it is.
#pragma once

#include <cstdint>
#include <vector>

#include "args.h"
#include "pitch_request.h"
#include "session.h"

namespace tvx {

struct ResynthesisResult {
  std::vector<std::vector<int16_t>> channels;
  int32_t voicedRuns = 0;     // stretches resynthesised
  int32_t intervals = 0;      // mark intervals given a new period
  // Where the output took the input's place in the wave buffer: its
  // length there; channels then stays empty.
  int32_t inWaveBuffer = -1;
  int64_t Length() const { return inWaveBuffer >= 0 ? inWaveBuffer : channels.empty() ? 0 : int64_t(channels[0].size()); }
};

// Every run of voiced mark intervals inside span is resynthesised from its
// first to its last mark, so the stretches between runs (silences, unvoiced
// sounds, the range outside span) are copied unchanged and a pitch scale of
// 1 gives back the input within the overlap-add's rounding.
// progress, when given, is advanced by one per run and channel.
class ProgressBar;
ResynthesisResult Resynthesize(const LoadedWave& wave, const PitchRequest& request, Span span,
                               ProgressBar* progress = nullptr);

}  // namespace tvx
