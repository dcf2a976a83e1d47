// Glottal closures in a prediction residual: the candidate pulses, and the
// one-per-cycle choice among them by dynamic programming guided by the F0
// track.
#pragma once

#include <cstdint>
#include <functional>
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
  // Period in residual samples around a residual position.
  std::function<double(double)> period;
};

// Chosen closures, ascending, as fractional residual positions.
std::vector<double> ChooseClosures(const ClosureSearch& search);

}  // namespace talvox
