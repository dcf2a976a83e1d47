// The element table: ordered, adjacent elements of the segmentation, kept in
// the document record. Functions take the record they work on.
#pragma once

#include <cstdint>

#include "talvox.h"

namespace talvox {

// Index of the element holding position (the last element also holds its
// end; a zero-width element is found at its own position), or -1.
int32_t FindElement(const TvxDocument& doc, int32_t position);
// Removes elements with start >= end; with none left, one element 0..length.
void TidyElementTable(TvxDocument& doc, int32_t sampleLength);
// One element 0..length, description unchanged.
void SetFullSegmentationOf(TvxDocument& doc, int32_t sampleLength);
// Writes desc (cut to 103 characters) into the element's description.
void SetDescription(TvxElement& element, const char* desc);

}  // namespace talvox
