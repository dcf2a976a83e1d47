// The peak table of the document (one sample position per pitch period, in
// ascending order) and the modified pitch beside it (one period per interval
// between neighbouring peaks). Every function keeps peakRoom and pitchRoom
// true, and never reads or writes past them whatever the counts say.
#pragma once

#include <cstdint>

#include "state/document.h"

namespace talvox {

// Peaks usable in doc: the count clipped to the table's room (0 when there
// is no table, e.g. before InitTalvox).
int32_t PeakCount(const DocumentState& doc);

// Snapping tolerance in samples for a display scale in pixels per sample:
// five pixels, 5.0 / scale truncated. -1 for a scale <= 0 or not a number.
int32_t ToleranceForScale(float scale);

// Index of the peak within tolerance of position (ties to the lower), or -1.
int32_t ClosestPeak(const DocumentState& doc, int32_t position, int32_t tolerance);
// Removes the peak ClosestPeak finds; 1 and its position, or 0.
int32_t DeleteClosestPeak(DocumentState& doc, int32_t position, int32_t tolerance,
                          int32_t* removed);
// Inserts position before the first larger peak; 0 when it is already a peak.
// Both tables keep room for the new count; periods are not shifted, a newly
// allocated period slot is 0.
int32_t InsertPeak(DocumentState& doc, int32_t position);
void DeleteAllPeaks(DocumentState& doc);
// Removes the peaks from the first one in from..to up to the first one
// after it that lies beyond to.
void DeletePeakRange(DocumentState& doc, int32_t from, int32_t to);

// The peaks with start <= p < end of an element: first index and count.
struct PeakSpan {
  int32_t first = 0;
  int32_t count = 0;
};
PeakSpan ElementPeaks(const DocumentState& doc, int32_t element);

// Index of the peak nearest to position (ties to the left), -1 with no peaks.
int32_t NearestPeak(const DocumentState& doc, int32_t position);
// Distance to the following peak, or to the previous one for the last peak;
// false with fewer than two peaks.
bool PeriodAtPeak(const DocumentState& doc, int32_t index, int32_t* period);

// Grows the modified pitch to hold at least `count` entries (new ones 0).
void EnsurePitchRoom(DocumentState& doc, int32_t count);
// Period j := peak j + 1 - peak j for every interval.
void RecomputeModifiedPitch(DocumentState& doc);
// Copies one period per interval from periods.
void CopyModifiedPitch(DocumentState& doc, const int32_t* periods);

// Move every peak to the zero crossing at or before it / the local maximum
// at or after it in samples[0..count-1], then recompute the periods. Nothing
// happens for null samples or count < 2; peaks outside 0..count-1 are left
// alone.
void AdjustPeaksToZeroCrossings(DocumentState& doc, const int16_t* samples, int32_t count);
void AdjustPeaksToMaxima(DocumentState& doc, const int16_t* samples, int32_t count);

// Replaces peaks and periods with freshly computed marks, as the pitch-mark
// calculators do: room for at least 100000 peaks, periods from the marks,
// the rate recorded.
void StoreCalculatedPeaks(DocumentState& doc, const int32_t* marks, int32_t count,
                          int32_t sampleRate);

}  // namespace talvox
