// A short synthetic utterance whose pitch is known exactly: glottal pulses
// (Rosenberg shape, differentiated for lip radiation) through three formant
// resonators, in syllables separated by silences. The glottal closure
// instants are the truth that pitch marks are measured against.
#pragma once

#include <cstdint>
#include <vector>

namespace tvx {

struct KnownPitchSpeech {
  int rate = 0;
  std::vector<int16_t> samples;
  std::vector<int32_t> closures;  // glottal closure instants, ascending
  std::vector<double> closureF0;  // the F0 of the period ending at each closure
};

KnownPitchSpeech GenerateKnownPitchSpeech(int rate);

struct MarkAgreement {
  int32_t knownPulses = 0;
  int32_t marksInVoicing = 0;     // marks inside the syllables
  double markLag = 0;             // median mark - closure, samples
  double matchedShare = 0;        // share of pulses with a mark within tolerance of closure + lag
  double medianF0Error = 0;       // median |measured - true| / true over mark intervals
  int32_t toleranceSamples = 0;
};

// Compares pitch marks with the known closures (a constant lag between the
// two is allowed: marks sit on a waveform peak, not on the closure itself).
MarkAgreement CompareMarks(const KnownPitchSpeech& truth, const std::vector<int32_t>& marks);

}  // namespace tvx
