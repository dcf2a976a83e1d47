// An F0 measure independent of the library's pitch marks, for checking
// resynthesis results: normalised autocorrelation of 40 ms frames.
#pragma once

#include <cstdint>
#include <vector>

namespace tvx {

struct FrameF0 {
  double seconds;  // frame centre
  double hertz;
};

// F0 of each loud, clearly periodic frame (60..400 Hz).
std::vector<FrameF0> AutocorrelationF0(const std::vector<int16_t>& samples, int rate);

}  // namespace tvx
