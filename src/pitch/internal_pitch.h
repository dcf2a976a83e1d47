// Pitch marks by the library's own algorithm: one mark at the top of each
// strong positive half-wave of the signal low-passed at 300 Hz.
#pragma once

#include <cstdint>
#include <vector>

#include "state/document.h"

namespace talvox {

// The marks of samples[0..length-1], ascending. None for null samples,
// length <= 0 or a rate at or below 600 Hz (no filter can be designed).
std::vector<int32_t> InternalPitchMarks(const int16_t* samples, int32_t length,
                                        int32_t sampleRate);
// The steps after the filter, on an already low-passed signal: rectify
// above 1000, find the humps, keep the strong ones.
std::vector<int32_t> MarksFromLowPassed(const int16_t* lowPassed, int32_t length);
// Counts the marks, writing them to marks[0..count-1] unless marks is null.
int32_t InternalPitchMarksInto(const int16_t* samples, int32_t length, int32_t sampleRate,
                               int32_t* marks);
// Segments the document while it is unsegmented, then replaces its peaks
// and periods with the marks; returns the peak count.
int32_t CalculateDocumentPitch(DocumentState& doc, const int16_t* samples, int32_t length,
                               int32_t sampleRate);

}  // namespace talvox
