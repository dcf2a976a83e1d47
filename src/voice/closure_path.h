// Glottal closures in a prediction residual: the candidate pulses, and the
// one-per-cycle choice among them by dynamic programming guided by the F0
// track.
#pragma once

#include <cstdint>
#include <vector>

namespace talvox {

struct ClosureSearch {
  const float* residual = nullptr;
  int32_t length = 0;
  double rate = 0;
  // +1 or -1: the sign of the closure pulses.
  int32_t polarity = 1;
  // The voiced core inside residual[0..length-1]; cycles between it and
  // the first / last chosen closure count as missed.
  double coreStart = 0;
  double coreEnd = 0;
  // Period in residual samples: periods[i] holds it around position
  // i * periodStep (the last entry beyond).
  const float* periods = nullptr;
  int32_t periodCount = 0;
  int32_t periodStep = 1;
  double PeriodAt(double position) const;
};

struct ChosenClosure {
  double position = 0;  // fractional residual position
  double pulse = 0;     // the residual's value there, sign-corrected
};

// The candidate pulses: positions t in 1..length-2 where the sign-corrected
// residual is positive, a local maximum (above the sample before, not below
// the one after) and the largest within the spacing reach (a sixth of the
// period at t, at least 0.4 ms) on either side, ties going to the earlier
// sample; ascending.
std::vector<int32_t> DominantPeaks(const ClosureSearch& search);

// Chosen closures, ascending.
std::vector<ChosenClosure> ChooseClosures(const ClosureSearch& search);

// Where two successive closures lie about two periods apart (the period
// midway between them, where the hidden cycle stands; no more than the
// longest step of the search, so a pause is left alone) and the steps
// beside theirs do not, one closure between them at the midpoint, with the
// pulse of the fainter of the two: the search left a cycle unmarked whose
// pulse the noise hid, and the midpoint is where the neighbours place it.
// Steps of two periods in a row are a track at twice the voice's F0, and
// stay as they are.
void FillSkippedCycles(const ClosureSearch& search, std::vector<ChosenClosure>& closures);

}  // namespace talvox
