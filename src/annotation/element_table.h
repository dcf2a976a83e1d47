// The element table: ordered, adjacent elements of the segmentation, kept in
// the document record. Functions take the record they work on; a record
// without a table (before InitTalvox) behaves as an empty table.
#pragma once

#include <cstdint>

#include "talvox.h"

namespace talvox {

// Characters a description holds before its terminating zero.
constexpr int32_t kMaxDescriptionLength = 103;

// Elements in use: 0 without a table, never more than the capacity.
int32_t ElementCount(const TvxDocument& doc);

// Index of the element holding position (the last element also holds its
// end; a zero-width element is found at its own position), or -1.
int32_t FindElement(const TvxDocument& doc, int32_t position);
// Removes elements with start >= end; with none left, one element 0..length.
void TidyElementTable(TvxDocument& doc, int32_t sampleLength);
// One element 0..length, description unchanged.
void SetFullSegmentationOf(TvxDocument& doc, int32_t sampleLength);
// Writes desc (cut to 103 characters; null: empty) into the element's
// description, the bytes after its zero cleared.
void SetDescription(TvxElement& element, const char* desc);

// 1 and the bounds (null pointers skipped), 0 for an index outside the table.
int32_t GetBounds(const TvxDocument& doc, int32_t index, int32_t* start, int32_t* end);
// Moves the start (which 1) or end (which 2) of element index together with
// its neighbour's adjoining boundary, clamped to the neighbouring bounds
// (the last end to sampleLength - 1).
int32_t MoveBoundary(TvxDocument& doc, int32_t index, int32_t position, int32_t which,
                     int32_t sampleLength);
// Splits the element strictly containing position; 0 when none does or the
// table is full.
int32_t SplitElement(TvxDocument& doc, int32_t position);
// Merges element index into its left (which 1) or right (which 2) neighbour.
int32_t MergeElement(TvxDocument& doc, int32_t index, int32_t which);
// The element whose boundary is within 5 pixels (5.0 / scale samples) of
// position, its side written through side; -1 when none or scale unusable.
int32_t NearestBoundary(const TvxDocument& doc, int32_t position, int32_t* side, float scale);
// Copies the description with its zero into text (104 bytes).
int32_t CopyDescription(const TvxDocument& doc, int32_t index, char* text);
int32_t WriteDescription(TvxDocument& doc, int32_t index, const char* text);

}  // namespace talvox
