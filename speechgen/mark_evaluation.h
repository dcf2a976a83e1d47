// The usual measures for pitch marks against known glottal closures. Each
// closure owns a larynx cycle reaching from the midpoint with the previous
// closure to the midpoint with the next (at the ends of a voiced run, half
// the neighbouring period on the open side). A cycle with exactly one mark
// is identified, with none missed, with more than one a false alarm.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "speech_generator.h"

namespace speechgen {

struct MarkEvaluation {
  int64_t cycles = 0;
  int64_t identified = 0;
  int64_t missed = 0;
  int64_t falseAlarms = 0;
  double identificationRate = 0.0;  // percent
  double missRate = 0.0;
  double falseAlarmRate = 0.0;
  double errorStdMs = 0.0;     // timing error of identified cycles
  double runErrorStdMs = 0.0;  // the same after removing each run's median offset
  double medianOffsetMs = 0.0; // over all identified cycles
};

// marks: positions in samples, any order.
MarkEvaluation EvaluateMarks(const std::vector<Closure>& closures, std::vector<double> marks,
                             int sampleRate);

std::string FormatEvaluation(const MarkEvaluation& e);

}  // namespace speechgen
