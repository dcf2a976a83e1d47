// Voicing decisions against the known closures: frames of 10 ms inside a
// voiced run (first closure - half a period .. last closure + half a period)
// are voiced, the others silent.
#pragma once

#include <cstdint>
#include <vector>

#include "speech_generator.h"

namespace speechgen {

struct Interval {
  double start = 0;  // samples
  double end = 0;
};

struct VoicingEvaluation {
  int64_t voicedFrames = 0;
  int64_t silentFrames = 0;
  double voicedAsSilent = 0;  // percent of the voiced frames
  double silentAsVoiced = 0;  // percent of the silent frames
};

// The voiced runs of the closures.
std::vector<Interval> VoicedRuns(const std::vector<Closure>& closures);

// voiced: the intervals labelled voiced, ascending.
VoicingEvaluation EvaluateVoicing(const std::vector<Closure>& closures,
                                  const std::vector<Interval>& voiced, int64_t length,
                                  int sampleRate);

}  // namespace speechgen
