// The prediction-error (whitening) filter and the all-pole synthesis filter,
// both with coefficients 1..12.
#include <algorithm>
#include <cstdint>

#include "dsp/prediction.h"
#include "dsp/sample_cast.h"

namespace talvox {

void AntiFilter(const float* coefficients, const int16_t* input, int16_t* residual,
                int32_t length) {
  for (int32_t i = 0; i < length; ++i) {
    // 16-bit arithmetic: only the low 16 bits of each truncated product count.
    uint16_t r = static_cast<uint16_t>(input[i]);
    for (int32_t j = 1; j <= std::min(kFilterPredictionOrder, i); ++j) {
      const float product = input[i - j] * coefficients[j];
      r = static_cast<uint16_t>(r - static_cast<uint16_t>(WrapToSample(product)));
    }
    residual[i] = static_cast<int16_t>(r);
  }
}

void SynthesisFilter(const float* coefficients, const int16_t* excitation, int16_t* output,
                     int32_t length) {
  if (length > 0) output[0] = 0;
  for (int32_t i = 1; i < length; ++i) {
    float s = 0.0f;
    for (int32_t j = 1; j <= std::min(kFilterPredictionOrder, i); ++j) {
      s += output[i - j] * coefficients[j];
    }
    output[i] = WrapToSample(excitation[i] + s);
  }
}

}  // namespace talvox
