// The internal pitch-mark route loses marks above about 32 kHz. At such
// rates the host analyses a copy decimated by a whole factor and maps the
// elements and marks back: a position p of the copy is p x factor in the
// original, exactly.
#pragma once

#include <cstdint>

namespace tvx {

// The whole factor that brings rate to 32 kHz or below (1: analyse as is).
int RateReduction(int rate);

// Segments and marks samples (length, rate) on a copy decimated by factor
// (> 1), leaving the document as CalculatePitch would at the original rate
// with the copy's elements and marks scaled back. Returns the mark count.
int32_t CalculatePitchReduced(const int16_t* samples, int32_t length, int rate, int factor);

}  // namespace tvx
