// The peak side of the speech edits: peaks and modified pitch removed,
// inserted and shifted with the samples, the modified pitch always holding
// room for the peak count.
#pragma once

#include <cstdint>

#include "state/clipboard.h"
#include "state/document.h"

namespace talvox {

// Peaks the table really holds: the count clipped to the room, 0 without
// a table.
int32_t PeaksOf(const DocumentState& doc);

// Resizes the modified pitch to exactly `room` values. Values it did not
// define before (beyond its old room or past the intervals in use) become
// the distance to the next peak, 0 where there is none.
void SizeModifiedPitch(DocumentState& doc, int32_t room);

// The peaks in from..to and their periods, relative to from, into the clip.
void CopyPeaks(const DocumentState& doc, SpeechClipboard& clip, int32_t from, int32_t to);

// Removes the peaks in from..to with their periods, moves the later peaks
// down by to - from + 1 and measures the period that bridges the gap.
void RemovePeaks(DocumentState& doc, int32_t from, int32_t to);

// Inserts the clip's peaks and periods at from, moves the later peaks up by
// the clip's sample count and measures the two periods at the seams.
void InsertPeaks(DocumentState& doc, const SpeechClipboard& clip, int32_t from);

}  // namespace talvox
