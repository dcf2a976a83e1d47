// Low-pass designs as cascades of second-order sections, and the cascade
// runner with its process-wide delay state.
#pragma once

#include <cstdint>

namespace talvox {

// Entries per delay array: order at most 19 (9 sections).
constexpr int32_t kFilterStateSize = 10;

double ButterworthLowPass(int32_t rate, int32_t order, double cutoff, double* a, double* b);
double ChebyshevLowPass(int32_t rate, int32_t order, double rippleDb, double cutoff, double* a,
                        double* b);
// Runs the cascade in place, starting from the delay state the previous call
// left.
void RunFilter(int16_t* samples, int32_t count, int32_t order, double gain, const double* a,
               const double* b);
// For tests only: clears the delay state (the library itself never does).
void ResetFilterState();

}  // namespace talvox
