#include <cmath>
#include <cstdint>

#include "dsp/prediction.h"

namespace talvox {

namespace {
// Products as 32-bit integers, summed in float; samples at or past
// `available` count as 0.
float Dot(const int16_t* x, int32_t available, const int16_t* y, int32_t count) {
  float sum = 0.0f;
  for (int32_t j = 0; j < count && j < available; ++j) {
    sum += static_cast<float>(int32_t{x[j]} * int32_t{y[j]});
  }
  return sum;
}
}  // namespace

void NormalisedCorrelation(const int16_t* signal, int32_t signalLength, const int16_t* templ,
                           int32_t templateLength, float* output) {
  const float templateNorm = std::sqrt(Dot(templ, templateLength, templ, templateLength));
  for (int32_t i = 0; i < signalLength; ++i) {
    const int16_t* window = signal + i;
    const int32_t available = signalLength - i;
    const float c = Dot(window, available, templ, templateLength);
    const float windowNorm = std::sqrt(Dot(window, available, window, templateLength));
    if (windowNorm == 0.0f || templateNorm == 0.0f) {
      output[i] = 0.0f;
    } else {
      output[i] = 100.0f * c / (windowNorm * templateNorm);
    }
  }
}

}  // namespace talvox
