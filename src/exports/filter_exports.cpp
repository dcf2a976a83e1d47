#include "dsp/filters.h"
#include "talvox.h"

extern "C" {

double butt_low_pass(int32_t rate, int32_t order, double cutoff, double* a, double* b) {
  if (a == nullptr || b == nullptr) return 0.0;
  return talvox::ButterworthLowPass(rate, order, cutoff, a, b);
}

double cheby_low_pass(int32_t rate, int32_t order, double rippleDb, double cutoff, double* a,
                      double* b) {
  if (a == nullptr || b == nullptr) return 0.0;
  return talvox::ChebyshevLowPass(rate, order, rippleDb, cutoff, a, b);
}

void filter(int16_t* samples, int32_t count, int32_t order, double gain, const double* a,
            const double* b) {
  talvox::RunFilter(samples, count, order, gain, a, b);
}

}  // extern "C"
