// The voice tracker's results in the process-wide document.
#pragma once

#include <cstdint>
#include <vector>

#include "state/document.h"
#include "voice/voice_track.h"

namespace talvox {

// Rewrites the element table from the voice marks and sets the
// segmentation flag; the element count, or 0 with no table (nothing changes).
int32_t SegmentDocumentByVoice(DocumentState& doc, const std::vector<int32_t>& marks,
                               int32_t length, int32_t sampleRate);

// Replaces the peaks with marks (a table of exactly their count), records
// the rate and sets the modified pitch to the distances between
// neighbouring marks (the last entry 0).
void StoreVoiceMarks(DocumentState& doc, const std::vector<int32_t>& marks, int32_t sampleRate);

// F0 per frame of `hop` samples (frame i centred at sample i * hop) into
// f0[0..capacity-1]; returns the frame count, (length - 1) / hop + 1.
int32_t SampleF0Track(const VoiceTrack& track, int32_t length, int32_t hop, float* f0,
                      int32_t capacity);

}  // namespace talvox
