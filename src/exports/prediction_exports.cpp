#include "dsp/prediction.h"
#include "dsp/settings.h"
#include "talvox.h"

extern "C" {

int32_t Lpc_Lattice(float* coefficients, const int16_t* frame, int32_t length) {
  if (coefficients == nullptr || frame == nullptr || length <= 0) return 0;
  talvox::LpcLattice(coefficients, frame, length, talvox::TheDspSettings().predictionOrder);
  return 1;
}

int32_t AntiFilterFromLPC(const float* coefficients, const int16_t* input, int16_t* residual,
                          int32_t length) {
  if (coefficients == nullptr || input == nullptr || residual == nullptr || length <= 0) return 0;
  talvox::AntiFilter(coefficients, input, residual, length);
  return 1;
}

int32_t SynthFromLPC(const float* coefficients, const int16_t* excitation, int16_t* output,
                     int32_t length) {
  if (coefficients == nullptr || excitation == nullptr || output == nullptr || length <= 0) {
    return 0;
  }
  talvox::SynthesisFilter(coefficients, excitation, output, length);
  return 1;
}

int32_t Correlation(const int16_t* signal, int32_t signalLength, const int16_t* templ,
                    int32_t templateLength, float* output) {
  if (signal == nullptr || templ == nullptr || output == nullptr) return 0;
  if (templateLength < 0 || signalLength < templateLength) return 0;
  talvox::NormalisedCorrelation(signal, signalLength, templ, templateLength, output);
  return 1;
}

void SetLPCNum(int32_t order) { talvox::TheDspSettings().predictionOrder = order; }

int32_t GetLPCNum(void) { return talvox::TheDspSettings().predictionOrder; }

}  // extern "C"
