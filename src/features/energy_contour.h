// Energy contour: one decibel value per frame, 0 dB standing for a mean
// truncated square of 1 per sample.
#pragma once

#include <cstdint>

#include "state/document.h"

namespace talvox {

// Contour values the buffer holds beyond count / 16.
constexpr int32_t kEnergySlack = 100;

// The frame energies of FrameEnergy with window 128 and hop 16, by a running
// sum (the terms are integers, so the sums are the same): writes
// FrameCount(count) values into energies and returns their number.
int32_t SlidingFrameEnergy(const int16_t* samples, int32_t count, int32_t* energies);

// The underscore form: writes the contour and its length; 1, or 0 with
// nothing written for null samples, energy or length, or count <= 0.
int32_t EnergyContour(const int16_t* samples, int32_t count, int32_t* energy, int32_t* length);

// Resizes the document's contour to count / 16 + 100 values and fills it.
// 0 and the document unchanged for null samples or count <= 0. (A contour
// that cannot be allocated stops the process, see state/memory.h, so the
// contour is never written through a missing buffer.)
int32_t CalculateDocumentEnergy(DocumentState& doc, const int16_t* samples, int32_t count);

}  // namespace talvox
