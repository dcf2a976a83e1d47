// Linear prediction of 16-bit frames (Burg's lattice method in single
// precision), the matching inverse and synthesis filters, and a normalised
// cross-correlation.
#pragma once

#include <cstdint>

namespace talvox {

// The working arrays of the analysis hold orders 1..100.
constexpr int32_t kMaxPredictionOrder = 100;
// The two filters always use coefficients 1..12.
constexpr int32_t kFilterPredictionOrder = 12;

// Writes coefficients[1..order] with order clamped to 1..100. A stage whose
// error energies are both 0 (a silent frame) has reflection 0, so a silent
// frame gives zero coefficients instead of 0/0. frame and length > 0 are
// the caller's to check.
void LpcLattice(float* coefficients, const int16_t* frame, int32_t length, int32_t order);
void AntiFilter(const float* coefficients, const int16_t* input, int16_t* residual, int32_t length);
void SynthesisFilter(const float* coefficients, const int16_t* excitation, int16_t* output,
                     int32_t length);
// One value per lag 0..signalLength-1; samples past signalLength count as 0.
// Needs templateLength <= signalLength.
void NormalisedCorrelation(const int16_t* signal, int32_t signalLength, const int16_t* templ,
                           int32_t templateLength, float* output);

}  // namespace talvox
